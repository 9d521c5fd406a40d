#pragma once

#include <QString>
#include <QVariant>

namespace wip {

// What OpenWithParm gave a window; read in the window's open() as
// message().powerObjectParm. A structure travels as a QVariant holding it:
//     OpenWithParm("w_ordergress_detail", QVariant::fromValue(m_datestr));
//     const auto range = message().powerObjectParm.value<date_str>();
// (any copyable type works; Qt 6 registers it on first use). A string or a
// number also fills stringParm or doubleParm.
struct WindowMessage
{
    QVariant powerObjectParm;
    QString stringParm;
    double doubleParm = 0;

    static WindowMessage fromParm(const QVariant &parm)
    {
        WindowMessage m;
        m.powerObjectParm = parm;
        if (parm.typeId() == QMetaType::QString)
            m.stringParm = parm.toString();
        else if (parm.canConvert<double>() && parm.typeId() != QMetaType::QString)
            m.doubleParm = parm.toDouble();
        return m;
    }
};

} // namespace wip
