#include "reports/render/reportcolumns.h"

namespace wip::reports {

namespace {

ReportColumn fromColumn(const Column &c)
{
    ReportColumn r;
    r.name = c.name;
    r.caption = c.caption;
    r.format = c.format;
    r.type = c.type;
    r.align = c.align;
    r.width = c.width;
    return r;
}

ReportColumn fromComputed(const ComputedField &f)
{
    ReportColumn r;
    r.name = f.name;
    r.computed = true;
    r.caption = f.caption;
    r.format = f.format;
    r.type = f.type;
    r.align = f.align;
    return r;
}

} // namespace

QVector<ReportColumn> reportColumns(const ReportData &data)
{
    const Definition &def = data.definition();
    QVector<ReportColumn> out;
    for (const Column &c : data.columns()) {
        if (c.visible)
            out << fromColumn(c);
    }
    // A crosstab's rows already carry its totals.
    if (def.layout == LayoutKind::Crosstab)
        return out;
    for (const ComputedField &f : def.computed) {
        if (f.band == Band::Detail && f.visible)
            out << fromComputed(f);
    }
    return out;
}

} // namespace wip::reports
