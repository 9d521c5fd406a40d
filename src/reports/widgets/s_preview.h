#pragma once

#include <QMetaType>
#include <QString>

namespace wip::reports {

// What a print button hands to the preview window: the saved report to show
// ("temp.psr", a host path resolved through the drive mapping).
//     s_preview s;
//     s.dw_name = "temp.psr";
//     dw_wip_detail->SaveAs(s.dw_name);
//     OpenWithParm("w_preview", QVariant::fromValue(s));
struct s_preview
{
    QString dw_name;
};

} // namespace wip::reports

Q_DECLARE_METATYPE(wip::reports::s_preview)
