#pragma once

#include <QDate>
#include <QFrame>

class QDateEdit;
class QLabel;
class QPushButton;

namespace wip {

// A yes-or-no question asked inside a scanning window instead of in a message
// box. The scanner goes on typing into the scan field while it is open, and the
// window refuses every scan then (refusal()), so that no ticket's Enter is
// taken as the answer and no ticket is lost unseen. It is answered with its own
// keys, F2 for yes and Esc for no, or with its buttons, which never take the
// focus from the scan field. No is the answer unless the clerk says yes: the
// window dismisses the question as no when the clerk turns to anything else.
//
//   question->ask("袋卡 KC1-1 已在倒模 转出扫描过! 再记录一次吗?");
//   connect(question, &ScanQuestion::answered, ...);   // answered(true) on F2
class ScanQuestion : public QFrame
{
    Q_OBJECT
public:
    ScanQuestion(QWidget *parent, const QString &name);

    // Opens the question; yes names what F2 does ("是, 再记录 (F2)" unless given).
    void ask(const QString &text, const QString &yes = QString());
    // The same with a day to say (the close-day question): a date field after
    // the text, starting from `day`, which takes the focus; F2 and Esc still answer.
    void askDate(const QString &text, const QString &yes, const QDate &day);
    QDate date() const;   // the day said; invalid when the question asks none
    bool isOpen() const { return m_open; }
    QString text() const;
    // Closes the question with this answer and emits answered; nothing when closed.
    void answer(bool yes);
    // What the window shows when a scan comes while the question is open.
    QString refusal(const QString &code) const;

Q_SIGNALS:
    void answered(bool yes);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QLabel *m_text = nullptr;
    QDateEdit *m_date = nullptr;
    QPushButton *m_yes = nullptr;
    QPushButton *m_no = nullptr;
    bool m_open = false;
};

} // namespace wip
