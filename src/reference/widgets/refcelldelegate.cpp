#include "reference/widgets/refcelldelegate.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QTableWidget>

namespace wip::reference {

RefCellDelegate *RefCellDelegate::install(QTableWidget *grid, const QList<RefKind::Field> &fields)
{
    grid->setColumnCount(int(fields.size()));
    QStringList captions;
    for (const RefKind::Field &f : fields)
        captions << f.caption;
    grid->setHorizontalHeaderLabels(captions);
    grid->setSelectionBehavior(QAbstractItemView::SelectItems);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
                          | QAbstractItemView::AnyKeyPressed);
    // Tab leaves the grid for the next control; the arrows move between cells.
    grid->setTabKeyNavigation(false);
    auto *delegate = new RefCellDelegate(grid);
    grid->setItemDelegate(delegate);
    // Every column as wide as its caption and its longest text; the last one
    // takes what is left.
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grid->horizontalHeader()->setStretchLastSection(true);
    return delegate;
}

void RefCellDelegate::setChoices(int column, const QStringList &choices, bool open)
{
    m_choices.insert(column, {choices, open});
}

QWidget *RefCellDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                       const QModelIndex &index) const
{
    const auto it = m_choices.constFind(index.column());
    if (it == m_choices.cend())
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto *box = new QComboBox(parent);
    box->setObjectName(QStringLiteral("ddlb_cell"));
    box->setEditable(it->open);
    box->addItems(it->values);
    return box;
}

void RefCellDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *box = qobject_cast<QComboBox *>(editor);
    if (!box) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QString text = index.data(Qt::EditRole).toString();
    const int found = box->findText(text, Qt::MatchFixedString);
    if (found >= 0)
        box->setCurrentIndex(found);
    else if (box->isEditable())
        box->setEditText(text);
}

void RefCellDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    if (auto *box = qobject_cast<QComboBox *>(editor))
        model->setData(index, box->currentText(), Qt::EditRole);
    else
        QStyledItemDelegate::setModelData(editor, model, index);
}

} // namespace wip::reference
