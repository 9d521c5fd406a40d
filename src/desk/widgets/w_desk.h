#pragma once

#include "database/rightscatalogue.h"
#include "desk/desk.h"
#include "desk/desklook.h"
#include "desk/widgets/deskfields.h"
#include "runtime/decimal.h"
#include "runtime/transaction.h"
#include "runtime/widgets/window.h"

#include <QHash>
#include <QList>

#include <memory>
#include <optional>

class QLineEdit;
class QTableWidget;

namespace wip {

class CheckBox;
class CommandButton;
class DropDownListBox;
class ResultBanner;
class ScanQuestion;
class SerialScale;
class SingleLineEdit;
class StaticText;

// "部门收发 Department desk": the desk of one department, where the clerk
// receives job bags, issues them to workers, takes them back and passes them
// on (or out for outside work), each action begun by scanning the bag's ticket
// and done by Desk on the window's own connection, in a transaction of its own.
//
// Keyboard first: F5 接收, F6 发出, F7 收回, F8 转出, F9 外发 choose the action
// (or their buttons); the scanner types the ticket and Enter; Enter moves on
// through the fields the action asks (DeskFields: worker badge or number,
// pieces, weight, returned material, where unfinished pieces go) and on the
// last one does the action; Esc drops the entry (with none, closes the
// window). Pieces start from what the desk, the worker or the transfer holds,
// shown in the field.
//
// Nothing waits in a dialog: each result is shown in the large banner (green
// done, red refused with the reason, with a sound), with where the bag is now,
// and the focus is back in the scan field after every action and every choice
// made with the mouse. A question (a weight received off what was sent, a gain
// a supervisor confirms, a bag taken back again) is asked in the window
// (ScanQuestion): F2 says yes, Esc no, and every scan while it is open is
// refused, never taken as its answer. A yes is passed to Desk, which records it.
//
// F10 冲销 corrects a mistake (DeskReversal), for a user with the supervisor
// right: the bag is scanned, the window shows what its last action here was
// (an issue or a take-back) and asks the reason in its own field; Enter asks
// the question, F2 reverses it, Esc does not. Esc before that leaves 冲销.
//
// F11 日结 closes the department's day (ClosedDays), for a user with the
// supervisor right: the question asks which day (today unless changed), F2
// closes it, Esc does not. Every action of a closed day is refused in red with
// the day and who closed it. F12 重开 reopens a closed day, for the
// administrator (the users right) only: the question asks which day (the
// department's last closed one unless changed), F2 goes on to a second
// question naming who closed it and when, and only its F2 reopens it; anyone
// else is refused in red with the reason, and nothing is asked.
//
// A scale that sends stable weights gives them to setScaleWeight(), which puts
// them into the weight field being filled.
class w_desk : public Window
{
    Q_OBJECT
public:
    explicit w_desk(QWidget *parent = nullptr);
    ~w_desk() override;

    void open() override;

    // --- handlers ---
    void ddlb_dept_selectionchanged(int index);
    void cb_ok_clicked();
    void cb_close_clicked();
    void window_key(int key, int keyflags);
    void question_answered(bool yes);
    void choose(DeskChoice choice);
    void cb_closeday_clicked();
    void cb_reopenday_clicked();
    void cb_reverse_clicked();

    // A stable reading of the scale: into the weight field being filled (or the
    // action's weight field), as grams with three decimals.
    void setScaleWeight(const Decimal &grams);

    DeskChoice choice() const { return m_choice; }
    // The session's actions, done and refused, oldest first (for tests).
    const QList<DeskOutcome> &outcomes() const { return m_outcomes; }

protected:
    void create() override;

private:
    // What the open question is about.
    enum class Asking { Nothing, Difference, Gain, Repeat, CloseDay, ReopenDay, ReopenConfirm, Reverse };
    struct Pending
    {
        Asking asking = Asking::Nothing;
        DeskRequest request;
        std::optional<DeskLook> look;
        QDate day;   // the day to reopen, once said
    };

    void createFields();
    void layOut();
    const DeskDepartment *department() const;
    QWidget *fieldWidget(DeskField field) const;
    std::optional<DeskField> fieldOf(const QWidget *widget) const;
    void focusField(DeskField field);
    void showChoice();
    void scanned();
    void beginEntry(const DeskLook &look);
    void perform();
    bool ask(const DeskOutcome &o, const DeskRequest &r);
    void act(const DeskRequest &r);
    void report(const DeskOutcome &o);
    void clearEntry();
    void dismissQuestion();
    void refreshHoldings();
    void addLine(const DeskOutcome &o);
    DeskRequest request() const;
    std::optional<Decimal> held() const;
    bool repeatsLastTakeBack(const DeskLook &look) const;
    QString prompt() const;
    void showIdle(const QString &before = QString());
    void openScale();
    void closeDay(const QDate &day);
    void confirmReopen(const QDate &day);
    void reopenDay(const QDate &day);
    void reverseScanned();
    void reverseReason();
    void leaveReversal();

    StaticText *st_dept = nullptr;
    DropDownListBox *ddlb_dept = nullptr;
    StaticText *st_user = nullptr;
    QHash<DeskChoice, CommandButton *> m_choiceButtons;
    StaticText *st_code = nullptr;
    SingleLineEdit *sle_code = nullptr;
    CommandButton *cb_ok = nullptr;
    QHash<DeskField, StaticText *> m_labels;
    SingleLineEdit *sle_worker = nullptr;
    SingleLineEdit *sle_pieces = nullptr;
    SingleLineEdit *sle_weight = nullptr;
    SingleLineEdit *sle_returned = nullptr;
    CheckBox *cbx_unfinished = nullptr;
    SingleLineEdit *sle_unfinished = nullptr;
    StaticText *st_bag = nullptr;
    ResultBanner *st_result = nullptr;
    ScanQuestion *question = nullptr;
    StaticText *st_holding = nullptr;
    StaticText *st_scale = nullptr;     // what the serial scale is doing, when one is set
    SerialScale *m_scale = nullptr;
    QTableWidget *lv_done = nullptr;
    QTableWidget *lv_bags = nullptr;
    CommandButton *cb_closeday = nullptr;
    CommandButton *cb_reopenday = nullptr;
    CommandButton *cb_reverse = nullptr;
    StaticText *st_reason = nullptr;
    SingleLineEdit *sle_reason = nullptr;
    CommandButton *cb_close = nullptr;

    Transaction m_tr;
    std::unique_ptr<Desk> m_desk;
    QString m_deskProblem;             // why no action can be done (no connection, a bad setting)
    Rights m_rights;
    DeskChoice m_choice = DeskChoice::Receive;
    std::optional<DeskLook> m_look;    // the bag of the entry under way
    Pending m_pending;
    QList<DeskOutcome> m_outcomes;
    bool m_reversing = false;          // F10: the next scan is a bag to reverse
    QString m_reverseCode;             // the bag whose reversal is shown, waiting for its reason
};

} // namespace wip
