#include "reference/widgets/referencewindows.h"

#include "reference/widgets/w_refdata.h"

namespace wip::reference {

void registerReferenceWindows()
{
    Window::registerClass<w_refdata>(QStringLiteral("w_refdata"));
}

} // namespace wip::reference
