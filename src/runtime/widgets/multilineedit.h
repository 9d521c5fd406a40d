#pragma once

#include <QPlainTextEdit>

namespace wip {

// A multi-line edit: mle_remarks. Enter starts a new line (it never reaches the
// window's default button); Tab moves to the next control.
class MultiLineEdit : public QPlainTextEdit
{
    Q_OBJECT
public:
    MultiLineEdit(QWidget *parent, const QString &name, const QString &text = QString());

    QString text() const { return toPlainText(); }
    void setText(const QString &text) { setPlainText(text); }
    bool displayOnly() const { return isReadOnly(); }
    void setDisplayOnly(bool on) { setReadOnly(on); }

    int SetFocus();

Q_SIGNALS:
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace wip
