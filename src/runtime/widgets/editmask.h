#pragma once

#include <QDate>
#include <QLineEdit>

namespace wip {

// A date edit mask: em_1, em_stdate ... with the mask "yyyy-mm-dd" (other date
// masks of yyyy, mm, dd and separators work the same way). The user types over
// the digits in place, the separators are skipped. The value is always a valid
// date: text() gives the date shown, in the mask's form, or, while the text
// typed is no date ("2004-02-30"), the last valid one, which the field shows
// again when it loses the focus or Enter is pressed. setText() of a text that is
// not a valid date in the mask's form is refused. With autoSkip the focus moves
// to the next control when the last digit has been typed. Starts with today.
class EditMask : public QLineEdit
{
    Q_OBJECT
public:
    EditMask(QWidget *parent, const QString &name, const QString &mask = QStringLiteral("yyyy-mm-dd"));

    QString mask() const { return m_mask; }

    QString text() const;                    // the date in the mask's form
    int setText(const QString &text);        // 1, or -1 when refused
    QDate date() const;

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

private:
    QDate shownDate() const;                 // invalid when the text shown is no date
    void commit();                           // the shown date becomes the value, or is put back
    void showValue();

    QString m_mask;
    QString m_qtFormat;
    QDate m_date;
    bool m_autoSkip = false;
};

} // namespace wip
