#include "wip_detail/wipdetailwindows.h"

#include "wip_detail/w_wip_detail.h"

namespace wip {

void registerWipDetailWindows()
{
    Window::registerClass<w_wip_detail>(QStringLiteral("w_wip_detail"));
}

} // namespace wip
