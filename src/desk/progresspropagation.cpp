#include "desk/progresspropagation.h"

#include "reports/datastore.h"
#include "runtime/sysfunc.h"

#include <optional>

namespace wip {

namespace {

// Received and transferred-out quantities of the six departments of the chain,
// in production order: their difference is the department's in-work quantity.
const char *const kSteps[6][2] = {
    {"wax_in", "wax_out"},         {"casting_in", "casting_out"},     {"filing_in", "filing_out"},
    {"setting_in", "setting_out"}, {"finishing_in", "finishing_out"}, {"polishing_in", "polishing_out"},
};

std::optional<double> inWork(const reports::DataStore &process, int row, const char *in, const char *out)
{
    const std::optional<double> a = Dec(process.GetItem(row, QString::fromLatin1(in)));
    const std::optional<double> b = Dec(process.GetItem(row, QString::fromLatin1(out)));
    if (!a || !b)
        return std::nullopt;
    return *a - *b;
}

} // namespace

void ProgressPropagation::apply(reports::DataStore &process, int row, const QString &changed, const QDateTime &now)
{
    // The in-work quantities are all read before anything is assigned.
    std::optional<double> d[6];
    for (int i = 0; i < 6; ++i)
        d[i] = inWork(process, row, kSteps[i][0], kSteps[i][1]);

    auto set = [&](const char *column, const QVariant &value) { process.SetItem(row, QString::fromLatin1(column), value); };
    auto copy = [&](const char *to, const char *from) { set(to, process.GetItem(row, QString::fromLatin1(from))); };

    const QString name = changed.toLower();
    if (name == QLatin1String("wax_out")) {
        copy("casting_in", "wax_out");
        if (d[0] && *d[0] == 0)
            set("wax_date", now);
        set("casting_date", now);
    }
    if (name == QLatin1String("casting_out")) {
        copy("filing_in", "casting_out");
        if (d[1] && *d[1] == 0)
            set("casting_date", now);
        set("filing_date", now);
    }
    if (name == QLatin1String("filing_out")) {
        copy("setting_in", "filing_out");
        if (d[2] && *d[2] == 0)
            set("filing_date", now);
        set("setting_date", now);
    }
    if (name == QLatin1String("setting_out")) {
        copy("finishing_in", "setting_out");
        if (d[3] && *d[3] == 0) {
            set("finishing_date", now);
            set("setting_date", now);
        } else {
            set("finishing_date", now);
        }
    }
    if (name == QLatin1String("finishing_out")) {
        copy("polishing_in", "finishing_out");
        if (d[4] && *d[4] == 0)
            set("finishing_date", now);
        set("polishing_date", now);
    }
    if (name == QLatin1String("polishing_out")) {
        copy("rhodium_in", "polishing_out");
        set("rhodium_date", now);
        if (d[5] && *d[5] == 0)
            set("polishing_date", now);
    }
}

} // namespace wip
