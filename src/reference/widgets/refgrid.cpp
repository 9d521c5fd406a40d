#include "reference/widgets/refgrid.h"

#include "reference/fieldtext.h"
#include "reference/widgets/refcelldelegate.h"

#include <algorithm>

namespace wip::reference {

namespace {

using F = RefKind::FieldType;
using Change = RefRow::Change;

const QColor kAdded(0xe3, 0xf4, 0xe1);
const QColor kEdited(0xfd, 0xf3, 0xd0);
const QColor kDeleted(0xe4, 0xe4, 0xe4);

bool sameValues(const RefKind &kind, const RefRow &row)
{
    for (const RefKind::Field &f : kind.fields) {
        if (FieldText::canonical(f, row.values.value(f.name)) != FieldText::canonical(f, row.original.value(f.name)))
            return false;
    }
    return row.stones == row.originalStones;
}

} // namespace

RefGrid::RefGrid(QWidget *parent, const RefKind &kind)
    : QTableWidget(parent)
    , m_kind(kind)
    , m_fields(kind.columnFields())
{
    setObjectName(QStringLiteral("lv_") + kind.name);
    m_delegate = RefCellDelegate::install(this, m_fields);
    for (const RefKind::Field &f : m_fields) {
        if (f.type == F::Choice)
            setChoices(f.name, f.choices);
    }
    connect(this, &QTableWidget::itemChanged, this, &RefGrid::cellChanged);
}

void RefGrid::setRows(const QList<RefRow> &rows)
{
    m_rows = rows;
    m_filling = true;
    setRowCount(int(m_rows.size()));
    m_filling = false;
    for (int r = 0; r < rowCount(); ++r)
        fillRow(r);
    Q_EMIT rowsChanged();
}

QList<RefRow> RefGrid::rows() const
{
    QList<RefRow> list = m_rows;
    for (qsizetype i = 0; i < list.size(); ++i)
        list[i].line = int(i) + 1;
    return list;
}

bool RefGrid::isModified() const
{
    return std::any_of(m_rows.cbegin(), m_rows.cend(), [](const RefRow &r) { return r.change != Change::Unchanged; });
}

int RefGrid::appendRow()
{
    RefRow row;
    row.change = Change::Added;
    if (m_kind.hasActive())
        row.values.insert(QStringLiteral("active"), QStringLiteral("1"));
    m_rows.append(row);
    const int r = rowCount();
    m_filling = true;
    insertRow(r);
    m_filling = false;
    fillRow(r);
    setCurrentCell(r, 0);
    scrollToItem(item(r, 0));
    Q_EMIT rowsChanged();
    return r;
}

void RefGrid::deleteRow(int row)
{
    if (row < 0 || row >= m_rows.size())
        return;
    if (m_rows[row].change == Change::Added) {
        m_rows.removeAt(row);
        m_filling = true;
        removeRow(row);
        m_filling = false;
    } else if (m_rows[row].change == Change::Deleted) {
        // Deleting a deleted row again takes it back.
        m_rows[row].change = Change::Unchanged;
        updateChange(row);
        fillRow(row);
    } else {
        m_rows[row].change = Change::Deleted;
        fillRow(row);
    }
    Q_EMIT rowsChanged();
}

void RefGrid::setValue(int row, const QString &field, const QString &text)
{
    if (row < 0 || row >= m_rows.size() || !m_kind.field(field))
        return;
    m_rows[row].values.insert(field, text);
    updateChange(row);
    fillRow(row);
    Q_EMIT rowsChanged();
}

void RefGrid::setStones(int row, const QList<RefValues> &stones)
{
    if (row < 0 || row >= m_rows.size())
        return;
    m_rows[row].stones = stones;
    updateChange(row);
    paintRow(row);
    Q_EMIT rowsChanged();
}

void RefGrid::setEditable(bool editable)
{
    m_editable = editable;
    for (int r = 0; r < rowCount(); ++r)
        fillRow(r);
}

void RefGrid::setChoices(const QString &field, const QStringList &choices)
{
    const int column = columnOf(field);
    if (column >= 0)
        m_delegate->setChoices(column, choices, m_fields[column].type == F::Reference);
}

int RefGrid::columnOf(const QString &field) const
{
    for (int c = 0; c < m_fields.size(); ++c) {
        if (m_fields[c].name == field)
            return c;
    }
    return -1;
}

void RefGrid::showProblem(const RefProblem &problem)
{
    const int row = problem.line - 1;
    if (row < 0 || row >= rowCount())
        return;
    const int column = qMax(0, columnOf(problem.field));
    setCurrentCell(row, column);
    scrollToItem(item(row, column));
}

void RefGrid::fillRow(int row)
{
    const RefRow &r = m_rows.at(row);
    const bool open = m_editable && r.change != Change::Deleted;
    m_filling = true;
    for (int c = 0; c < m_fields.size(); ++c) {
        const RefKind::Field &f = m_fields[c];
        auto *cell = new QTableWidgetItem;
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        const QString value = r.values.value(f.name);
        if (f.type == F::Active) {
            cell->setCheckState(FieldText::active(value).value_or(true) ? Qt::Checked : Qt::Unchecked);
            if (open)
                flags |= Qt::ItemIsUserCheckable;
        } else {
            cell->setText(value);
            const bool keyOfSaved = f.type == F::Code && r.change != Change::Added;
            if (open && f.editable && !keyOfSaved)
                flags |= Qt::ItemIsEditable;
        }
        if (f.type == F::Decimal)
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        cell->setFlags(flags);
        setItem(row, c, cell);
    }
    m_filling = false;
    paintRow(row);
}

void RefGrid::cellChanged(QTableWidgetItem *cell)
{
    if (m_filling)
        return;
    const int row = cell->row();
    const RefKind::Field &f = m_fields.at(cell->column());
    const QString value = f.type == F::Active ? (cell->checkState() == Qt::Checked ? QStringLiteral("1")
                                                                                   : QStringLiteral("0"))
                                              : cell->text();
    if (m_rows[row].values.value(f.name) == value)
        return;
    m_rows[row].values.insert(f.name, value);
    updateChange(row);
    Q_EMIT rowsChanged();
}

void RefGrid::updateChange(int row)
{
    RefRow &r = m_rows[row];
    if (r.change == Change::Added || r.change == Change::Deleted) {
        paintRow(row);
        return;
    }
    r.change = sameValues(m_kind, r) ? Change::Unchanged : Change::Edited;
    paintRow(row);
}

void RefGrid::paintRow(int row)
{
    const Change change = m_rows.at(row).change;
    m_filling = true;
    for (int c = 0; c < columnCount(); ++c) {
        QTableWidgetItem *cell = item(row, c);
        if (!cell)
            continue;
        switch (change) {
        case Change::Added: cell->setBackground(kAdded); break;
        case Change::Edited: cell->setBackground(kEdited); break;
        case Change::Deleted: cell->setBackground(kDeleted); break;
        case Change::Unchanged: cell->setBackground(QBrush()); break;
        }
        QFont font = cell->font();
        font.setStrikeOut(change == Change::Deleted);
        cell->setFont(font);
    }
    m_filling = false;
}

} // namespace wip::reference
