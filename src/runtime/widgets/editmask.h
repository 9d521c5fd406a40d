#pragma once

#include <QDate>
#include <QDateEdit>

namespace wip {

// A date edit mask: em_1, em_stdate ... with the mask "yyyy-mm-dd" (other date
// masks of yyyy, mm, dd and separators work the same way). The user types over
// the digits; the value is always a valid date, so text() is always a date in
// the mask's form. setText() of a text that is not a valid date in that form is
// refused and leaves the value as it was. With autoSkip the focus moves to the
// next control when the last digit has been typed. Starts with today's date.
class EditMask : public QDateEdit
{
    Q_OBJECT
public:
    EditMask(QWidget *parent, const QString &name, const QString &mask = QStringLiteral("yyyy-mm-dd"));

    QString mask() const { return m_mask; }

    QString text() const;                    // the date in the mask's form
    int setText(const QString &text);        // 1, or -1 when refused

    bool autoSkip() const { return m_autoSkip; }
    void setAutoSkip(bool on) { m_autoSkip = on; }

    int SetFocus();

Q_SIGNALS:
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_mask;
    QString m_qtFormat;
    bool m_autoSkip = false;
};

} // namespace wip
