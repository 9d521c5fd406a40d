#include "app/windowclasses.h"

#include "app/w_help.h"
#include "app/w_users.h"
#include "reports/widgets/w_preview.h"
#include "runtime/widgets/window.h"

// Each feature library that this build links (src/app/CMakeLists.txt) brings its
// registration function; WIP_HAVE_<FOLDER> says which are there.
#if defined(WIP_HAVE_DAILY_OUTPUT)
#include "daily_output/dailyoutputwindows.h"
#endif
#if defined(WIP_HAVE_TRANSFERS)
#include "transfers/transferwindows.h"
#endif
#if defined(WIP_HAVE_WIP_DETAIL)
#include "wip_detail/wipdetailwindows.h"
#endif
#if defined(WIP_HAVE_CONTRACTS)
#include "contracts/contractwindows.h"
#endif
#if defined(WIP_HAVE_ORDER_PROGRESS)
#include "order_progress/orderprogresswindows.h"
#endif
#if defined(WIP_HAVE_REFERENCE)
#include "reference/widgets/referencewindows.h"
#endif
#if defined(WIP_HAVE_DESK)
#include "desk/widgets/deskwindows.h"
#endif

namespace wip {

void WindowClasses::registerAll()
{
    reports::registerPreviewWindow();
    Window::registerClass<w_help>(QStringLiteral("w_help"));
    Window::registerClass<w_users>(QStringLiteral("w_users"));
#if defined(WIP_HAVE_DAILY_OUTPUT)
    registerDailyOutputWindows();
#endif
#if defined(WIP_HAVE_TRANSFERS)
    registerTransferWindows();
#endif
#if defined(WIP_HAVE_WIP_DETAIL)
    registerWipDetailWindows();
#endif
#if defined(WIP_HAVE_CONTRACTS)
    registerContractWindows();
#endif
#if defined(WIP_HAVE_ORDER_PROGRESS)
    registerOrderProgressWindows();
#endif
#if defined(WIP_HAVE_REFERENCE)
    reference::registerReferenceWindows();
#endif
#if defined(WIP_HAVE_DESK)
    registerDeskWindows();
#endif
}

} // namespace wip
