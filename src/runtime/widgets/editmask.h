#pragma once

#include <QDate>
#include <QLineEdit>

namespace wip {

// A date edit mask: em_1, em_stdate ... with the mask "yyyy-mm-dd" (other date
// masks of yyyy, mm, dd and separators work the same way). The user types over
// the digits in place, the separators are skipped. text() gives the date shown,
// in the mask's form; setText() of a text that is not a valid date in the mask's
// form is refused. With autoSkip the focus moves to the next control when the
// last digit has been typed. Starts with today.
//
// A date that cannot be (2004-02-30, month 13, digits missing) is refused where
// it is seen and never swapped for another: leaving the field, Enter or Tab mark
// it and show a short message saying why; Enter and Tab keep the focus in it;
// text() gives it as typed and date() is invalid; and no button of the window
// but its cancel button runs while it stands (CommandButton asks refuseImpossible()).
class EditMask : public QLineEdit
{
    Q_OBJECT
public:
    EditMask(QWidget *parent, const QString &name, const QString &mask = QStringLiteral("yyyy-mm-dd"));

    QString mask() const { return m_mask; }

    QString text() const;                    // the date in the mask's form, or the impossible text as shown
    int setText(const QString &text);        // 1, or -1 when refused
    QDate date() const;                      // invalid while the text shown is no date

    // Why the text shown is no date ("" when it is one).
    QString problem() const;
    // Why a text shown in a field of that mask is no date ("" when it is one):
    // "2004-02-30 不是有效日期: 2004 年 2 月只有 29 天".
    static QString problemOf(const QString &mask, const QString &shown);
    bool isMarked() const;                   // marked as holding a date that cannot be
    // When the field holds an impossible date: marks it, says why, takes the
    // focus and returns true.
    bool refuse();
    // refuse() on the first field of the window that holds an impossible date.
    static bool refuseImpossible(QWidget *window);

    bool autoSkip() const { return m_autoSkip; }
    void setAutoSkip(bool on) { m_autoSkip = on; }

    int SetFocus();

Q_SIGNALS:
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QDate shownDate() const;                 // invalid when the text shown is no date
    bool settle();                           // true when the text shown is a date; otherwise marks it
    void mark(const QString &problem);       // "" clears the mark
    void showValue();

    QString m_mask;
    QString m_qtFormat;
    QDate m_date;
    bool m_autoSkip = false;
    bool m_marked = false;
};

} // namespace wip
