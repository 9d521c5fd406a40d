#pragma once

#include <QComboBox>

namespace wip {

// A drop-down list box: ddlb_pcode, ddlb_1, search_criterial. Indexes are 1-based
// as the host counts them. At first no item is chosen and text() is "". Either a
// selection-only list (text() is the chosen item) or, with allowEdit, a list whose
// text the user may type. selectionchanged(index) runs when the user picks an
// item (mouse or arrow keys), not when a handler selects one.
class DropDownListBox : public QComboBox
{
    Q_OBJECT
public:
    DropDownListBox(QWidget *parent, const QString &name, bool allowEdit = false);

    bool allowEdit() const { return isEditable(); }
    void setAllowEdit(bool on);

    int AddItem(const QString &item);            // the new item's index
    int Reset();                                 // removes every item; text ""
    int TotalItems() const { return count(); }
    QString Text(int index) const;               // "" when out of range

    QString text() const;
    // Selection-only: chooses the item with that text (-1, nothing changed, when
    // there is none; "" clears the choice). Editable: sets the typed text.
    int setText(const QString &text);

    // Chooses the first item from `start` on (1-based, 0 = from the first) whose
    // text is `item`; returns its index, 0 when there is none (choice unchanged).
    int SelectItem(const QString &item, int start = 0);
    int SelectItem(int index);                   // 0 clears the choice; returns index or -1
    int FindItem(const QString &item, int start = 0) const;   // 0 when none

    int SetFocus();

Q_SIGNALS:
    void selectionchanged(int index);
    void getfocus();
    void key(int key, int keyflags);

protected:
    void focusInEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};

} // namespace wip
