#include "app/windowclasses.h"

#if defined(WIP_HAVE_DAILY_OUTPUT)
#include "daily_output/dailyoutputwindows.h"
#endif

namespace wip {

void WindowClasses::registerAll()
{
    // Each feature library linked into the application (src/app/CMakeLists.txt)
    // registers its windows through its own registration function.
#if defined(WIP_HAVE_DAILY_OUTPUT)
    registerDailyOutputWindows();
#endif
}

} // namespace wip
