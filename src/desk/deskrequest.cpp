#include "desk/deskrequest.h"

namespace wip {

QString DeskRequest::actionText(DeskAction action)
{
    switch (action) {
    case DeskAction::Receive:
        return QStringLiteral("接收");
    case DeskAction::Issue:
        return QStringLiteral("发出");
    case DeskAction::TakeBack:
        return QStringLiteral("收回");
    case DeskAction::PassOn:
        return QStringLiteral("转出");
    case DeskAction::Reverse:
        return QStringLiteral("冲销");
    }
    return QString();
}

} // namespace wip
