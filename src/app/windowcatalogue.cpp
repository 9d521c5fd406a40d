#include "app/windowcatalogue.h"

#include "app/appicons.h"
#include "runtime/widgets/window.h"

namespace wip {

const QVector<WindowInfo> &WindowCatalogue::all()
{
    static const QVector<WindowInfo> list{
        // The launcher's windows, in its order.
        {QStringLiteral("w_wip_today"), QStringLiteral("在做资料 (部门)"),
         QStringLiteral("在做资料: 部门当日产量与在做件数"), QStringLiteral("daily-output"), true},
        {QStringLiteral("w_wip_mattran"), QStringLiteral("产量统计报表"),
         QStringLiteral("产量统计报表: 部门过货统计"), QStringLiteral("transfers"), true},
        {QStringLiteral("w_wipmat"), QStringLiteral("在做资料 (物料)"),
         QStringLiteral("在做资料 (物料): 工人手中的金料与铂金"), QStringLiteral("materials"), true},
        {QStringLiteral("w_metal_balance"), QStringLiteral("金属结存 Metal balance"),
         QStringLiteral("金属结存: 各部门收发、工人与在途的金属, 期初、收发、损耗与期末"), QStringLiteral("metal-balance"), true},
        {QStringLiteral("w_wip_detail"), QStringLiteral("在做资料 (明细)"),
         QStringLiteral("在做资料 (明细): 各工序在做订单 WIP Detail"), QStringLiteral("wip-detail"), true},
        {QStringLiteral("w_scno_process"), QStringLiteral("销售合约"),
         QStringLiteral("销售合约: 合约、订货明细与部门进度"), QStringLiteral("contracts"), true},
        {QStringLiteral("w_ordergress"), QStringLiteral("订单分析"),
         QStringLiteral("订单分析: 未出货合约的耗用与工费报表"), QStringLiteral("order-analysis"), true},
        {QStringLiteral("w_desk"), QStringLiteral("部门收发 Department desk"),
         QStringLiteral("部门收发: 扫描袋卡接收、发给工人、收回与转出"), QStringLiteral("scan-station"), true,
         Right::Scan | Right::ContractAdd | Right::ContractEdit | Right::ContractDelete},
        {QStringLiteral("w_order_followup"), QStringLiteral("订单跟进 Order follow-up"),
         QStringLiteral("订单跟进: 迟交与将到期的合约、延误原因与准时率"), QStringLiteral("order-followup"), true},
        {QStringLiteral("w_loss_exceptions"), QStringLiteral("超耗工人 Loss over allowance"),
         QStringLiteral("超耗工人: 工人耗损超过允许耗的, 超耗金额与回收"), QStringLiteral("loss-exceptions"), true},
        {QStringLiteral("w_scprogress"), QStringLiteral("订单进度"),
         QStringLiteral("订单进度: 合约在各部门的进度"), QStringLiteral("order-progress"), true},
        {QStringLiteral("w_production"), QStringLiteral("产量统计"),
         QStringLiteral("产量统计: 部门产量图表"), QStringLiteral("production-chart"), true},
        {QStringLiteral("w_refdata"), QStringLiteral("基础资料 Reference data"),
         QStringLiteral("基础资料: 客户、成色、石料、镶法、款式、工人与代码"), QStringLiteral("reference-data"), true},
        {QStringLiteral("w_users"), QStringLiteral("用户与权限 Users and rights"),
         QStringLiteral("用户与权限: 增加用户、停用、重设密码与各窗口的权限"), QStringLiteral("users"), true,
         Right::Users},
        // Windows opened from other windows.
        {QStringLiteral("w_preview"), QStringLiteral("打印预览"),
         QStringLiteral("打印预览: 报表的预览、打印与导出"), QStringLiteral("preview"), false},
        {QStringLiteral("w_bagticket_preview"), QStringLiteral("袋卡预览"),
         QStringLiteral("袋卡预览: 合约的袋卡, 打印或存成 PDF"), QStringLiteral("preview"), false},
        {QStringLiteral("w_scno_process_search"), QStringLiteral("查找订单 (销售合约)"),
         QStringLiteral("查找订单: 按合约号或客单号查找"), QStringLiteral("find"), false},
        {QStringLiteral("w_scprogress_search"), QStringLiteral("查找订单 (订单进度)"),
         QStringLiteral("查找订单: 按合约号或客单号查找"), QStringLiteral("find"), false},
        {QStringLiteral("w_ordergress_detail"), QStringLiteral("耗用报表"),
         QStringLiteral("耗用报表: 物料使用与工人耗用"), QStringLiteral("order-reports"), false},
        {QStringLiteral("w_pomatuse"), QStringLiteral("物料耗用"),
         QStringLiteral("物料耗用: 合约的物料使用"), QStringLiteral("material-use"), false},
        {QStringLiteral("w_sconh_add"), QStringLiteral("增加销售合约"),
         QStringLiteral("增加销售合约: 新合约的表头"), QStringLiteral("contract-add"), false},
        {QStringLiteral("w_sconh_edit"), QStringLiteral("修改销售合约"),
         QStringLiteral("修改销售合约: 合约表头"), QStringLiteral("contract-edit"), false},
        {QStringLiteral("w_help"), QStringLiteral("用户指南"),
         QStringLiteral("用户指南: 日常工作的步骤"), QStringLiteral("help"), false},
    };
    return list;
}

QVector<WindowInfo> WindowCatalogue::launcherEntries()
{
    QVector<WindowInfo> entries;
    for (const WindowInfo &info : all()) {
        if (info.inLauncher)
            entries.append(info);
    }
    return entries;
}

const WindowInfo *WindowCatalogue::find(const QString &className)
{
    for (const WindowInfo &info : all()) {
        if (info.className.compare(className, Qt::CaseInsensitive) == 0)
            return &info;
    }
    return nullptr;
}

void WindowCatalogue::registerIcons()
{
    for (const WindowInfo &info : all())
        Window::setClassIcon(info.className, AppIcons::icon(info.icon));
}

} // namespace wip
