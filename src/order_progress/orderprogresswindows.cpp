#include "order_progress/orderprogresswindows.h"

#include "order_progress/w_ordergress.h"
#include "order_progress/w_ordergress_detail.h"
#include "order_progress/w_loss_exceptions.h"
#include "order_progress/w_order_followup.h"

namespace wip {

void registerOrderProgressWindows()
{
    Window::registerClass<w_ordergress>(QStringLiteral("w_ordergress"));
    Window::registerClass<w_ordergress_detail>(QStringLiteral("w_ordergress_detail"));
    Window::registerClass<w_order_followup>(QStringLiteral("w_order_followup"));
    Window::registerClass<w_loss_exceptions>(QStringLiteral("w_loss_exceptions"));
}

} // namespace wip
