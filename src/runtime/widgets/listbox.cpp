#include "runtime/widgets/listbox.h"

#include "runtime/hosterror.h"
#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace wip {

ListBox::ListBox(QWidget *parent, const QString &name, bool extendedSelect)
    : QListWidget(parent)
{
    ControlSupport::init(this, name);
    setSelectionMode(extendedSelect ? QAbstractItemView::ExtendedSelection
                                    : QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_programmatic && row >= 0)
            Q_EMIT selectionchanged(row + 1);
    });
}

QListWidgetItem *ListBox::itemAt(int index) const
{
    if (index < 1 || index > count())
        throw HostError(ErrRowOutOfRange,
                        QStringLiteral("%1: item %2 of %3").arg(objectName()).arg(index).arg(count()));
    return item(index - 1);
}

int ListBox::AddItem(const QString &text)
{
    m_programmatic = true;
    addItem(text);
    m_programmatic = false;
    return count();
}

int ListBox::Reset()
{
    m_programmatic = true;
    clear();
    m_programmatic = false;
    return 1;
}

int ListBox::State(int index) const
{
    return itemAt(index)->isSelected() ? 1 : 0;
}

QString ListBox::Text(int index) const
{
    return itemAt(index)->text();
}

int ListBox::SetState(int index, bool selected)
{
    QListWidgetItem *it = itemAt(index);
    m_programmatic = true;
    it->setSelected(selected);
    m_programmatic = false;
    return 1;
}

int ListBox::TotalSelected() const
{
    int n = 0;
    for (int i = 0; i < count(); ++i)
        n += item(i)->isSelected() ? 1 : 0;
    return n;
}

int ListBox::SelectedIndex() const
{
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected())
            return i + 1;
    return 0;
}

QString ListBox::SelectedItem() const
{
    const int i = SelectedIndex();
    return i > 0 ? item(i - 1)->text() : QString();
}

int ListBox::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void ListBox::focusInEvent(QFocusEvent *event)
{
    QListWidget::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
}

void ListBox::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); }))
        return;
    QListWidget::keyPressEvent(event);
}

} // namespace wip
