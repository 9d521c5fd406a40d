#pragma once

#include <QLineEdit>

namespace wip {

// A single-line edit: sle_hallmark, sle_custno, search_value. Case conversion
// applies to all text, typed, pasted or set by a handler (Upper: "abc" becomes
// "ABC"). displayOnly: shown, not editable.
class SingleLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    enum class TextCase { Any, Upper, Lower };

    SingleLineEdit(QWidget *parent, const QString &name, const QString &text = QString());

    TextCase textCase() const { return m_case; }
    void setTextCase(TextCase textCase);
    bool displayOnly() const { return isReadOnly(); }
    void setDisplayOnly(bool on) { setReadOnly(on); }

    int SetFocus();

Q_SIGNALS:
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    TextCase m_case = TextCase::Any;
};

} // namespace wip
