#include "order_progress/orderprogresswindows.h"

#include "order_progress/w_ordergress.h"
#include "order_progress/w_ordergress_detail.h"

namespace wip {

void registerOrderProgressWindows()
{
    Window::registerClass<w_ordergress>(QStringLiteral("w_ordergress"));
    Window::registerClass<w_ordergress_detail>(QStringLiteral("w_ordergress_detail"));
}

} // namespace wip
