#pragma once

#include "runtime/widgets/window.h"

#include <QByteArray>
#include <memory>
#include <optional>

namespace wip {

class CommandButton;
class DropDownListBox;
class GroupBox;
class MultiLineEdit;
class Picture;
class SingleLineEdit;
class StaticText;
namespace reports {
class ContractLineSelection;
class ReportControl;
}

// "销售合约": the sales contracts (dw_sconh), the order lines of the contract the
// user is on (dw_scond) with the line's hallmark, remarks and style picture, and
// the contract's progress record through the departments (dw_process, with its
// contract number, its stamped dates and the delay reason of ddlb_1). The user's
// rights for module M05, function H06 decide which progress buttons work; a user
// who may not save sees the record read-only. The same rights open the contract
// forms: 增加&1 a new contract (w_sconh_add) with the add right, 修改&2 the
// chosen contract with its lines (w_sconh_edit) with any of them. The record is cleared and read-only
// while the contract has no line or no record. "更新&7" writes the record, after
// checking that it is the chosen contract's; unsaved changes are offered for
// saving (or staying) before another contract or line is shown or the window closes.
// 导入 Import reads contracts with their lines from a CSV file or workbook
// (ContractImportKind, through KindFileActions as 基础资料 does) for users with
// the right 导入, and the list shows them; 导出 Export writes every contract.
class w_scno_process : public Window
{
    Q_OBJECT
public:
    explicit w_scno_process(QWidget *parent = nullptr);
    ~w_scno_process() override;

    void open() override;

    // --- handlers ---
    void dw_sconh_rowfocuschanging(int currentrow, int newrow);
    void dw_scond_rowfocuschanging(int currentrow, int newrow);
    void dw_process_key(int key, int keyflags);
    void dw_process_itemchanged(int row, const QString &dwo, const QString &data);
    void ddlb_1_selectionchanged(int index);
    void cb_scond_add_clicked();
    void cb_scond_del_clicked();
    void cb_printpo_clicked();
    void cb_printpo_getfocus();
    void cb_sconh_find_clicked();
    void cb_pomat_clicked();
    void cb_sconh_add_clicked();
    void cb_sconh_edit_clicked();
    void cb_sconh_del_clicked();
    void cb_close_clicked();
    void cb_tickets_clicked();
    void cb_audit_clicked();
    void cb_import_clicked();
    void cb_export_clicked();

    // --- state, for the windows it opens and for tests ---
    QString scno() const;
    QString designNo() const;
    long long scondId() const;
    int sconhCurrentRow() const;
    int scondCurrentRow() const;
    int lineCount() const;
    int flagAdd() const { return flag_add; }
    int flagEdit() const { return flag_edit; }
    int flagDel() const { return flag_del; }
    // The bytes last handed to p_stylepic (nullopt when it was hidden instead).
    const std::optional<QByteArray> &lastPictureBytes() const;

    // A contract form saved contract scno: the list is read again and that
    // contract shown with its lines.
    void contractSaved(const QString &scno);

    // Unsaved progress is offered for saving before the window closes; Cancel stays.
    bool closeQuery() override;

    // Whether dw_process holds changes (typed, added or deleted) not yet saved.
    bool processModified();
    // Writes dw_process to table process in one transaction and reads it back.
    // On failure nothing is written, the rows stay as typed and a message says so.
    bool saveProcess();

    // The nine delay and progress reasons of ddlb_1, in list order.
    static const QStringList &reasonEntries();

protected:
    void create() override;

private:
    // The window's controls, in the order the window creates them.
    void createControls();
    // The contract and line panes above the row of buttons.
    void layOutControls();
    // Each control's events to their handlers.
    void connectEvents();

    // Asks whether to save unsaved progress changes (Yes, No, or Cancel to stay).
    // True when the record may be replaced or closed.
    bool offerToSave();
    // The record of the chosen line's contract, read again; then updateProcessControls().
    void retrieveProcessRecord();
    // What the progress controls allow now: typing and the reason only into a
    // record of a contract with lines, by a user who may save; adding only where
    // there is no record yet, by a user who may add. The reason list shows the
    // record's own reason.
    void updateProcessControls();
    void showReason();
    // Why the record on screen may not be saved under the chosen contract ("" when it may).
    QString notTheChosenContract() const;

    DropDownListBox *ddlb_1 = nullptr;
    reports::ReportControl *dw_process = nullptr;
    CommandButton *cb_pomat = nullptr;
    CommandButton *cb_printpo = nullptr;
    CommandButton *cb_sconh_find = nullptr;
    CommandButton *cb_scond_del = nullptr;
    CommandButton *cb_scond_add = nullptr;
    CommandButton *cb_sconh_del = nullptr;
    CommandButton *cb_sconh_edit = nullptr;
    CommandButton *cb_sconh_add = nullptr;
    CommandButton *cb_close = nullptr;
    CommandButton *cb_tickets = nullptr;
    CommandButton *cb_audit = nullptr;
    CommandButton *cb_import = nullptr;
    CommandButton *cb_export = nullptr;
    Picture *p_stylepic = nullptr;
    MultiLineEdit *mle_remarks = nullptr;
    StaticText *st_2 = nullptr;
    SingleLineEdit *sle_hallmark = nullptr;
    StaticText *st_1 = nullptr;
    reports::ReportControl *dw_scond = nullptr;
    reports::ReportControl *dw_sconh = nullptr;
    GroupBox *gb_1 = nullptr;
    GroupBox *gb_2 = nullptr;

    // m_scno, m_design_no, m_scond_id, m_sconh_currow, m_scond_currrow, count_dw2.
    std::unique_ptr<reports::ContractLineSelection> m_selection;
    int flag_add = 0;
    int flag_edit = 0;
    int flag_del = 0;
};

} // namespace wip
