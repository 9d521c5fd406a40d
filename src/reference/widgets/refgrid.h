#pragma once

#include "reference/refkind.h"
#include "reference/refproblem.h"
#include "reference/refrow.h"

#include <QTableWidget>

namespace wip::reference {

class RefCellDelegate;

// The grid of one kind of reference data in w_refdata (lv_customers,
// lv_metals ...): one row per code, one column per field kept in the table (a
// style's picture file chosen from disk is held in its row, not shown), the
// row numbers at the left as the messages name them. It keeps each row's RefRow, so that what
// the clerk typed, added, deleted or made inactive goes to the save as rows
// with their change:
//
//   added      light green; every cell editable
//   edited     light yellow; the code of a saved row is never editable
//   deleted    grey and struck through, until saved (or added rows: gone at once)
//
// "使用中 Active" is a check box. A column of codes of another kind, or of a
// choice, edits with a list (setChoices).
class RefGrid : public QTableWidget
{
    Q_OBJECT
public:
    RefGrid(QWidget *parent, const RefKind &kind);

    const RefKind &kind() const { return m_kind; }

    void setRows(const QList<RefRow> &rows);
    // Every row, numbered as the grid shows it, with what changed.
    QList<RefRow> rows() const;
    const RefRow &rowAt(int row) const { return m_rows.at(row); }
    bool isModified() const;

    int appendRow();                                   // a new row; its code cell current
    void deleteRow(int row);                           // an added row goes, a saved one is marked deleted
    void setValue(int row, const QString &field, const QString &text);
    void setStones(int row, const QList<RefValues> &stones);

    void setEditable(bool editable);
    bool editable() const { return m_editable; }
    void setChoices(const QString &field, const QStringList &choices);
    int columnOf(const QString &field) const;

    // Makes the problem's row and field the current cell.
    void showProblem(const RefProblem &problem);

Q_SIGNALS:
    void rowsChanged();

private:
    void fillRow(int row);
    void cellChanged(QTableWidgetItem *item);
    void updateChange(int row);
    void paintRow(int row);

    const RefKind &m_kind;
    QList<RefKind::Field> m_fields;
    QList<RefRow> m_rows;
    RefCellDelegate *m_delegate = nullptr;
    bool m_filling = false;
    bool m_editable = true;
};

} // namespace wip::reference
