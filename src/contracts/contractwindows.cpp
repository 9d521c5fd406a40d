#include "contracts/contractwindows.h"

#include "contracts/w_bagticket_preview.h"
#include "contracts/w_pomatuse.h"
#include "contracts/w_scno_process.h"
#include "contracts/w_scno_process_search.h"
#include "contracts/w_sconh_add.h"
#include "contracts/w_sconh_edit.h"
#include "contracts/w_scprogress.h"
#include "contracts/w_scprogress_search.h"

namespace wip {

void registerContractWindows()
{
    Window::registerClass<w_scno_process>(QStringLiteral("w_scno_process"));
    Window::registerClass<w_scno_process_search>(QStringLiteral("w_scno_process_search"));
    Window::registerClass<w_pomatuse>(QStringLiteral("w_pomatuse"));
    Window::registerClass<w_sconh_add>(QStringLiteral("w_sconh_add"));
    Window::registerClass<w_sconh_edit>(QStringLiteral("w_sconh_edit"));
    Window::registerClass<w_scprogress>(QStringLiteral("w_scprogress"));
    Window::registerClass<w_scprogress_search>(QStringLiteral("w_scprogress_search"));
    Window::registerClass<w_bagticket_preview>(QStringLiteral("w_bagticket_preview"));
}

} // namespace wip
