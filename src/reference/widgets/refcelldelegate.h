#pragma once

#include "reference/refkind.h"

#include <QHash>
#include <QStringList>
#include <QStyledItemDelegate>

class QTableWidget;

namespace wip::reference {

// Edits the cells of a reference-data grid: a column with choices (a metal's
// type, a worker's department, a style's product type, stone and setting
// method) gets a list to choose from, which takes a typed text too where the
// column allows any code (`open`); every other column a line edit.
class RefCellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Sets up a grid of these fields for editing in place (captions, one cell
    // selected at a time, typing starts an edit, Tab leaves the grid, columns as
    // wide as their texts) with a delegate of this kind, which it returns.
    static RefCellDelegate *install(QTableWidget *grid, const QList<RefKind::Field> &fields);

    void setChoices(int column, const QStringList &choices, bool open);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private:
    struct Choices
    {
        QStringList values;
        bool open = false;
    };
    QHash<int, Choices> m_choices;
};

} // namespace wip::reference
