#include "desk/widgets/deskwindows.h"

#include "desk/widgets/w_desk.h"

namespace wip {

void registerDeskWindows()
{
    Window::registerClass<w_desk>(QStringLiteral("w_desk"));
}

} // namespace wip
