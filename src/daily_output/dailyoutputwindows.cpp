#include "daily_output/dailyoutputwindows.h"

#include "daily_output/w_production.h"
#include "daily_output/w_wip_today.h"

namespace wip {

void registerDailyOutputWindows()
{
    Window::registerClass<w_wip_today>(QStringLiteral("w_wip_today"));
    Window::registerClass<w_production>(QStringLiteral("w_production"));
}

} // namespace wip
