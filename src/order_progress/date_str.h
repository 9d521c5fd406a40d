#pragma once

#include <QMetaType>
#include <QString>

namespace wip {

// The delivery-date range of the order analysis, as the two date boxes show it
// ("yyyy-mm-dd"), handed to the report window that heads its reports with it.
struct date_str
{
    QString startdate;
    QString enddate;
};

} // namespace wip

Q_DECLARE_METATYPE(wip::date_str)
