// Fuzzes the display formats: a value of any kind (numbers at the edges of double,
// dates far in the past and future, texts, NULLs) shown in any format text.
#include "fuzzsupport.h"

#include "reports/displayformat.h"
#include "runtime/values.h"

#include <QDateTime>
#include <cstring>

using namespace wip;
using namespace wip::reports;

namespace {

// The value comes from the first byte (its kind) and the 8 after it (its bits);
// the rest of the input is the format.
QVariant valueFrom(const uint8_t *data, size_t size, size_t *used)
{
    if (size == 0) {
        *used = 0;
        return QVariant();
    }
    qint64 bits = 0;
    const size_t n = std::min<size_t>(size - 1, sizeof bits);
    std::memcpy(&bits, data + 1, n);
    *used = 1 + n;
    double number = 0;
    std::memcpy(&number, &bits, sizeof number);
    switch (data[0] % 8) {
    case 0: return QVariant();
    case 1: return QVariant(QMetaType::fromType<double>());
    case 2: return number;                       // any double: NaN, infinities, subnormals
    case 3: return double(bits) / 1000.0;
    case 4: return QDateTime::fromMSecsSinceEpoch(bits, Qt::UTC);
    case 5: return QDate::fromJulianDay(bits);
    case 6: return (bits & 1) != 0;
    default:
        *used = 1;
        return QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(std::min<size_t>(size - 1, 64)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t used = 0;
    const QVariant value = valueFrom(data, size, &used);
    const QString format = wip::fuzz::textOf(data + used, size - used);

    const QStringList sections = values::formatSections(format);
    WIP_FUZZ_CHECK(!sections.isEmpty(), format);
    (void)formatValue(value, format);
    (void)generalText(value);
    if (value.metaType().id() == QMetaType::Double)
        (void)values::numberText(value.toDouble());
    // A NULL shows as an empty text in every format.
    if (value.isNull())
        WIP_FUZZ_CHECK(formatValue(value, format).isEmpty(), format);
    return 0;
}
