#pragma once

#include "reference/refrow.h"

#include <QTableWidget>

namespace wip::reference {

class RefCellDelegate;

// The stone lines of the style chosen in w_refdata (lv_stones): stone, setting
// method and stones per piece, each chosen from its list or typed. Edits are
// handed to the style's row through stonesEdited().
class StoneGrid : public QTableWidget
{
    Q_OBJECT
public:
    explicit StoneGrid(QWidget *parent);

    void setStones(const QList<RefValues> &stones);
    QList<RefValues> stones() const;
    int appendStone();
    void removeStone(int row);
    void setEditable(bool editable);
    void setChoices(const QString &field, const QStringList &choices);

Q_SIGNALS:
    void stonesEdited();

private:
    void cellChanged(QTableWidgetItem *item);
    void fillRow(int row, const RefValues &stone);

    RefCellDelegate *m_delegate = nullptr;
    bool m_filling = false;
    bool m_editable = true;
};

} // namespace wip::reference
