#pragma once

#include "runtime/widgets/window.h"

#include <QByteArray>
#include <memory>
#include <optional>

namespace wip {

class CheckBox;
class CommandButton;
class EditMask;
class GroupBox;
class ListBox;
class MultiLineEdit;
class Picture;
class SingleLineEdit;
class StaticText;
namespace reports {
class ContractLineSelection;
class ReportControl;
}

// "订单分析": the open (not invoiced) sales contracts whose delivery date lies in a
// range, optionally of one customer; the order lines of the contract the user is
// on with the line's hallmark, remarks and style picture; and a list of contract
// numbers to tick. "付工人耗" puts the ticked contracts into the global scno_sel
// and opens the worker-loss and material-use reports (w_ordergress_detail) for
// them with the date range. Reads only.
//
// For one customer the list is of one progress reason (d_w_scprogress2), or of
// all the customer's open contracts whatever their reason, those without a
// progress record too (d_w_scprogress2_all): the window asks, "全部 All reasons"
// first, the last choice offered again while the window is open. A cancelled
// question leaves the list as it was and says so beside the buttons.
class w_ordergress : public Window
{
    Q_OBJECT
public:
    explicit w_ordergress(QWidget *parent = nullptr);
    ~w_ordergress() override;

    void open() override;

    // --- handlers ---
    void cbx_cust_clicked();
    void cb_3_clicked();
    void cb_2_clicked();
    void dw_sconh_rowfocuschanging(int currentrow, int newrow);
    void dw_scond_rowfocuschanging(int currentrow, int newrow);
    void cb_1_clicked();
    void cb_4_clicked();

    // --- state, for tests ---
    QString scno() const;
    QString designNo() const;
    long long scondId() const;
    int sconhCurrentRow() const;
    int scondCurrentRow() const;
    int lineCount() const;
    // The bytes last handed to p_stylepic (nullopt when it was hidden instead).
    const std::optional<QByteArray> &lastPictureBytes() const;

protected:
    void create() override;

private:
    // The window's controls, in the order the window creates them.
    void createControls();
    // The date range and customer on top, the contract and line panes, the buttons below.
    void layOutControls();
    // Each control's events to their handlers.
    void connectEvents();

    // "全部" and "未出货": one retrieval of the contract list, and the tick list
    // rebuilt from its rows.
    void fillContractList();
    // Why the contract list came back empty, as far as the choices tell.
    QString nothingFoundNote() const;
    std::optional<QString> chooseReason();

    CommandButton *cb_6 = nullptr;
    CommandButton *cb_5 = nullptr;
    CommandButton *cb_4 = nullptr;
    reports::ReportControl *dw_sconh = nullptr;
    reports::ReportControl *dw_scond = nullptr;
    StaticText *st_4 = nullptr;
    SingleLineEdit *sle_hallmark = nullptr;
    StaticText *st_3 = nullptr;
    MultiLineEdit *mle_remarks = nullptr;
    Picture *p_stylepic = nullptr;
    CommandButton *cb_3 = nullptr;
    ListBox *lb_scnoitem = nullptr;
    StaticText *st_5 = nullptr;       // caption of the tick list
    CommandButton *cb_2 = nullptr;
    StaticText *st_2 = nullptr;
    EditMask *em_deldate1 = nullptr;
    EditMask *em_deldate2 = nullptr;
    StaticText *st_1 = nullptr;
    CommandButton *cb_1 = nullptr;
    SingleLineEdit *sle_custno = nullptr;
    CheckBox *cbx_cust = nullptr;
    GroupBox *gb_1 = nullptr;
    GroupBox *gb_2 = nullptr;
    StaticText *st_note = nullptr;    // why the list did not change

    // m_scno, m_design_no, m_scond_id, m_sconh_currow, m_scond_currrow, count_dw2.
    std::unique_ptr<reports::ContractLineSelection> m_selection;
    QString m_lastReason;             // the reason chosen last, as shown
};

} // namespace wip
