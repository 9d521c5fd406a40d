#pragma once

#include <QListWidget>

namespace wip {

// A list box: lb_scnoitem. Indexes are 1-based. Extended selection by default:
// a click selects one item, Shift extends the range, Ctrl adds or removes one.
// State(i), Text(i) and SetState(i) throw HostError(ErrRowOutOfRange) for an
// index that names no item, which ends the handler.
class ListBox : public QListWidget
{
    Q_OBJECT
public:
    ListBox(QWidget *parent, const QString &name, bool extendedSelect = true);

    int AddItem(const QString &item);            // the new item's index
    int Reset();
    int TotalItems() const { return count(); }
    int State(int index) const;                  // 1 selected, 0 not
    QString Text(int index) const;
    int SetState(int index, bool selected);
    int TotalSelected() const;
    int SelectedIndex() const;                   // first selected, 0 when none
    QString SelectedItem() const;                // "" when none

    int SetFocus();

Q_SIGNALS:
    void selectionchanged(int index);
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QListWidgetItem *itemAt(int index) const;    // throws for an index out of range
    bool m_programmatic = false;
};

} // namespace wip
