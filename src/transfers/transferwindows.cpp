#include "transfers/transferwindows.h"

#include "transfers/w_metal_balance.h"
#include "transfers/w_wip_mattran.h"
#include "transfers/w_wipmat.h"

namespace wip {

void registerTransferWindows()
{
    Window::registerClass<w_wip_mattran>(QStringLiteral("w_wip_mattran"));
    Window::registerClass<w_wipmat>(QStringLiteral("w_wipmat"));
    Window::registerClass<w_metal_balance>(QStringLiteral("w_metal_balance"));
}

} // namespace wip
