#include "reports/widgets/contractlineselection.h"

#include "reports/widgets/orderlinedetails.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/transaction.h"
#include "runtime/widgets/multilineedit.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"

namespace wip::reports {

namespace {

// Only the new row is highlighted; rows outside the list are left alone.
void moveHighlight(ReportControl &dw, int currentrow, int newrow)
{
    if (currentrow >= 1 && currentrow <= dw.RowCount())
        dw.SelectRow(currentrow, false);
    if (newrow >= 1 && newrow <= dw.RowCount())
        dw.SelectRow(newrow, true);
}

} // namespace

ContractLineSelection::ContractLineSelection(ReportControl &sconh, ReportControl &scond, SingleLineEdit &hallmark,
                                             MultiLineEdit &remarks, Picture &picture)
    : dw_sconh(sconh)
    , dw_scond(scond)
    , sle_hallmark(hallmark)
    , mle_remarks(remarks)
    , p_stylepic(picture)
{
}

ContractLineSelection::Outcome ContractLineSelection::contractChanging(int currentrow, int newrow)
{
    moveHighlight(dw_sconh, currentrow, newrow);
    if (newrow < 1 || newrow > dw_sconh.RowCount())
        return Ignored;
    m_sconh_currow = newrow;
    m_scno = dw_sconh.GetItemString(newrow, QStringLiteral("scno"));

    dw_scond.SetTransObject(Transaction::sqlca());
    dw_scond.Reset();
    dw_scond.Retrieve({m_scno});
    count_dw2 = dw_scond.RowCount();
    if (count_dw2 < 1) {
        clearLine();
        return NoLines;
    }
    return Lines;
}

bool ContractLineSelection::lineChanging(int currentrow, int newrow)
{
    moveHighlight(dw_scond, currentrow, newrow);
    if (newrow < 1 || newrow > dw_scond.RowCount())
        return false;
    m_scond_currrow = newrow;
    m_scond_id = static_cast<long long>(dw_scond.GetItemNumber(newrow, QStringLiteral("scond_id")));
    m_design_no = dw_scond.GetItemString(newrow, QStringLiteral("design_no"));
    m_pictureBytes = OrderLineDetails::show(Transaction::sqlca(), m_scond_id, m_design_no, sle_hallmark, mle_remarks,
                                            p_stylepic);
    return true;
}

void ContractLineSelection::clear()
{
    m_sconh_currow = 0;
    m_scno.clear();
    dw_scond.Reset();
    count_dw2 = 0;
    clearLine();
}

void ContractLineSelection::clearLine()
{
    m_scond_currrow = 0;
    m_scond_id = -1;
    m_design_no = QString();
    sle_hallmark.setText(QString());
    mle_remarks.setText(QString());
    p_stylepic.setVisible(false);
    m_pictureBytes.reset();
}

} // namespace wip::reports
