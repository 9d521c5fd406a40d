// Fuzzes the Modify text parser: a text either parses into assignments or is
// refused naming a position inside it; every value read back through the
// expression quoting gives the same text.
#include "fuzzsupport.h"

#include "reports/expression.h"
#include "reports/modifytext.h"

using namespace wip::reports;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = wip::fuzz::textOf(data, size);
    const ModifyText parsed = ModifyText::parse(text);
    if (!parsed.isValid()) {
        WIP_FUZZ_CHECK(parsed.assignments().isEmpty(), text);
        WIP_FUZZ_CHECK(parsed.errorPosition() >= 1 && parsed.errorPosition() <= text.size() + 1,
                       text + QStringLiteral(" / ") + parsed.error());
        return 0;
    }
    WIP_FUZZ_CHECK(parsed.errorPosition() == 0, text);
    for (const ModifyText::Assignment &a : parsed.assignments()) {
        WIP_FUZZ_CHECK(!a.object.isEmpty() && !a.attribute.isEmpty(), text);
        WIP_FUZZ_CHECK(a.object == a.object.toLower() && a.attribute == a.attribute.toLower(), text);
        WIP_FUZZ_CHECK(a.position >= 1 && a.position <= text.size(), text);
        const QString quoted = quoteString(a.value);
        QString back;
        WIP_FUZZ_CHECK(readQuotedString(quoted, 0, &back) == quoted.size(), quoted);
        WIP_FUZZ_CHECK(back == a.value, a.value + QStringLiteral(" -> ") + back);
    }
    // The quoted text reader on the raw text never reads past its end.
    for (int i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\'' || text.at(i) == u'"') {
            QString value;
            const int end = readQuotedString(text, i, &value);
            WIP_FUZZ_CHECK(end == -1 || (end > i && end <= text.size()), text);
            break;
        }
    }
    return 0;
}
