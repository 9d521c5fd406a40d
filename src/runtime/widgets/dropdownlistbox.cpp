#include "runtime/widgets/dropdownlistbox.h"

#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

namespace wip {

DropDownListBox::DropDownListBox(QWidget *parent, const QString &name, bool allowEdit)
    : QComboBox(parent)
{
    ControlSupport::init(this, name);
    setAllowEdit(allowEdit);
    setMaxVisibleItems(12);
    view()->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCurrentIndex(-1);
    connect(this, &QComboBox::activated, this, [this](int row) { Q_EMIT selectionchanged(row + 1); });
}

void DropDownListBox::setAllowEdit(bool on)
{
    const int index = currentIndex();
    setEditable(on);
    if (on) {
        // Enter in the typed text must not add it to the list.
        setInsertPolicy(QComboBox::NoInsert);
        if (index < 0)
            lineEdit()->clear();
    }
}

int DropDownListBox::AddItem(const QString &item)
{
    const int before = currentIndex();
    const QString typed = isEditable() ? lineEdit()->text() : QString();
    {
        // Adding to an empty list must not choose the item.
        const QSignalBlocker block(this);
        addItem(item);
        if (before < 0) {
            setCurrentIndex(-1);
            if (isEditable())
                lineEdit()->setText(typed);
        }
    }
    return count();
}

int DropDownListBox::Reset()
{
    const QSignalBlocker block(this);
    clear();
    if (isEditable())
        lineEdit()->clear();
    return 1;
}

QString DropDownListBox::Text(int index) const
{
    if (index < 1 || index > count())
        return QString();
    return itemText(index - 1);
}

QString DropDownListBox::text() const
{
    if (isEditable())
        return lineEdit()->text();
    return currentIndex() < 0 ? QString() : currentText();
}

int DropDownListBox::setText(const QString &text)
{
    const QSignalBlocker block(this);
    if (isEditable()) {
        const int i = findText(text, Qt::MatchExactly);
        setCurrentIndex(i);
        lineEdit()->setText(text);
        return 1;
    }
    if (text.isEmpty()) {
        setCurrentIndex(-1);
        return 1;
    }
    const int i = findText(text, Qt::MatchExactly);
    if (i < 0)
        return -1;
    setCurrentIndex(i);
    return 1;
}

int DropDownListBox::FindItem(const QString &item, int start) const
{
    for (int i = qMax(0, start - 1); i < count(); ++i)
        if (itemText(i) == item)
            return i + 1;
    return 0;
}

int DropDownListBox::SelectItem(const QString &item, int start)
{
    const int index = FindItem(item, start);
    if (index > 0)
        SelectItem(index);
    return index;
}

int DropDownListBox::SelectItem(int index)
{
    if (index < 0 || index > count())
        return -1;
    const QSignalBlocker block(this);
    setCurrentIndex(index - 1);
    if (isEditable() && index == 0)
        lineEdit()->clear();
    return index;
}

int DropDownListBox::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void DropDownListBox::focusInEvent(QFocusEvent *event)
{
    QComboBox::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void DropDownListBox::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QComboBox::keyPressEvent(event);
}

} // namespace wip
