// Fuzzes the display formats: a value of any kind (numbers at the edges of double,
// dates far in the past and future, texts, NULLs) shown in any format text.
#include "fuzzsupport.h"

#include "reports/displayformat.h"

#include <QDateTime>
#include <fuzzer/FuzzedDataProvider.h>

using namespace wip::reports;

namespace {

QVariant valueFrom(FuzzedDataProvider &in)
{
    switch (in.ConsumeIntegralInRange<int>(0, 7)) {
    case 0: return QVariant();
    case 1: return QVariant(QMetaType::fromType<double>());
    case 2: return in.ConsumeFloatingPoint<double>();
    case 3: return double(in.ConsumeIntegral<int64_t>()) / 1000.0;
    case 4: return QDateTime::fromMSecsSinceEpoch(in.ConsumeIntegral<int64_t>(), Qt::UTC);
    case 5: return QDate::fromJulianDay(in.ConsumeIntegral<int64_t>());
    case 6: return in.ConsumeBool();
    default: return QString::fromStdString(in.ConsumeRandomLengthString(64));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);
    const QVariant value = valueFrom(in);
    const std::string rest = in.ConsumeRemainingBytesAsString();
    const QString format = QString::fromUtf8(rest.data(), qsizetype(rest.size()));

    const QStringList sections = splitFormatSections(format);
    WIP_FUZZ_CHECK(!sections.isEmpty(), format);
    (void)formatValue(value, format);
    (void)generalText(value);
    if (value.metaType().id() == QMetaType::Double)
        (void)generalNumberText(value.toDouble());
    // A NULL shows as an empty text in every format.
    if (value.isNull())
        WIP_FUZZ_CHECK(formatValue(value, format).isEmpty(), format);
    return 0;
}
