#pragma once

#include "desk/scanstation.h"
#include "runtime/transaction.h"
#include "runtime/widgets/window.h"

#include <QList>
#include <memory>

class QTableWidget;

namespace wip {

class CommandButton;
class DropDownListBox;
class ResultBanner;
class ScanQuestion;
class SingleLineEdit;
class StaticText;

// "扫描站 Scan station": the clerk chooses the department and the action, then
// scans bag tickets; the scanner types the code and Enter, which presses "扫描".
// Each scan is saved at once in a transaction of its own on the window's own
// connection; the list shows the session's scans with the department's figures
// after each, and "撤销" reverses the last scan still standing.
//
// Nothing in it waits in a dialog: the result of each scan shows in the large
// banner (green done, red refused with the reason, with a sound), and the
// question whether to record a ticket scanned before is asked in the window
// (ScanQuestion): scans are refused until it is answered with F2 or Esc. The
// scan field has the focus after every pick and every action; the lists and
// buttons take none from a mouse click.
class w_scan_station : public Window
{
    Q_OBJECT
public:
    explicit w_scan_station(QWidget *parent = nullptr);
    ~w_scan_station() override;

    void open() override;

    // --- handlers ---
    void ddlb_dept_selectionchanged(int index);
    void ddlb_action_selectionchanged(int index);
    void cb_scan_clicked();
    void question_answered(bool yes);
    void cb_undo_clicked();
    void cb_close_clicked();

    // The session's scans still standing, oldest first (for tests).
    const QList<ScanOutcome> &scans() const { return m_scans; }

protected:
    void create() override;

private:
    const ScanDepartment *department() const;
    ScanAction action() const;
    void addLine(const ScanOutcome &o, bool undone);
    void report(const ScanOutcome &o);
    void record(const ScanOutcome &o);
    void dismissQuestion();

    // The scan the open question is about.
    struct Pending
    {
        QString code;
        const ScanDepartment *department = nullptr;
        ScanAction action = ScanAction::Out;
    };

    StaticText *st_dept = nullptr;
    DropDownListBox *ddlb_dept = nullptr;
    StaticText *st_action = nullptr;
    DropDownListBox *ddlb_action = nullptr;
    StaticText *st_code = nullptr;
    SingleLineEdit *sle_code = nullptr;
    CommandButton *cb_scan = nullptr;
    CommandButton *cb_undo = nullptr;
    CommandButton *cb_close = nullptr;
    ResultBanner *st_result = nullptr;
    ScanQuestion *question = nullptr;
    QTableWidget *lv_scans = nullptr;

    Transaction m_tr;
    std::unique_ptr<ScanStation> m_station;
    QList<ScanOutcome> m_scans;
    Pending m_pending;
};

} // namespace wip
