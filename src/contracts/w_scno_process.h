#pragma once

#include "runtime/widgets/window.h"

#include <QByteArray>
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
class ReportControl;
}

// "销售合约": the sales contracts (dw_sconh), the order lines of the contract the
// user is on (dw_scond) with the line's hallmark, remarks and style picture, and
// the contract's progress record through the departments (dw_process, with the
// delay reason of ddlb_1). The user's rights for module M05, function H06 decide
// which progress buttons work. "更新&7" writes the progress record to the database;
// unsaved changes are offered for saving before another line is shown or the
// window closes.
class w_scno_process : public Window
{
    Q_OBJECT
public:
    explicit w_scno_process(QWidget *parent = nullptr);

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

    // --- state, for the windows it opens and for tests ---
    QString scno() const { return m_scno; }
    QString designNo() const { return m_design_no; }
    long long scondId() const { return m_scond_id; }
    int sconhCurrentRow() const { return m_sconh_currow; }
    int scondCurrentRow() const { return m_scond_currrow; }
    int lineCount() const { return count_dw2; }
    int flagAdd() const { return flag_add; }
    int flagEdit() const { return flag_edit; }
    int flagDel() const { return flag_del; }
    // The bytes last handed to p_stylepic (nullopt when it was hidden instead).
    const std::optional<QByteArray> &lastPictureBytes() const { return m_pictureBytes; }

    // Whether dw_process holds changes (typed, added or deleted) not yet saved.
    bool processModified();
    // Writes dw_process to table process in one transaction and reads it back.
    // On failure nothing is written, the rows stay as typed and a message says so.
    bool saveProcess();

    // The nine delay and progress reasons of ddlb_1, in list order.
    static const QStringList &reasonEntries();

protected:
    void create() override;
    void closeEvent(QCloseEvent *event) override;

private:
    // Asks whether to save unsaved progress changes (Yes/No, or Yes/No/Cancel
    // when the user may stay). True when the record may be replaced or closed.
    bool offerToSave(bool canStay);

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
    Picture *p_stylepic = nullptr;
    MultiLineEdit *mle_remarks = nullptr;
    StaticText *st_2 = nullptr;
    SingleLineEdit *sle_hallmark = nullptr;
    StaticText *st_1 = nullptr;
    reports::ReportControl *dw_scond = nullptr;
    reports::ReportControl *dw_sconh = nullptr;
    GroupBox *gb_1 = nullptr;
    GroupBox *gb_2 = nullptr;

    QString m_scno;
    QString m_design_no;
    long long m_scond_id = -1;
    int m_sconh_currow = 0;
    int m_scond_currrow = 0;
    int count_dw2 = 0;
    int flag_add = 0;
    int flag_edit = 0;
    int flag_del = 0;
    std::optional<QByteArray> m_pictureBytes;
    bool m_closingChecked = false;
};

} // namespace wip
