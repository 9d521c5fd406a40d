#include "reference/widgets/stonegrid.h"

#include "reference/refkind.h"
#include "reference/widgets/refcelldelegate.h"


namespace wip::reference {

StoneGrid::StoneGrid(QWidget *parent)
    : QTableWidget(parent)
{
    setObjectName(QStringLiteral("lv_stones"));
    m_delegate = RefCellDelegate::install(this, RefKind::stoneFields());
    connect(this, &QTableWidget::itemChanged, this, &StoneGrid::cellChanged);
}

void StoneGrid::setStones(const QList<RefValues> &stones)
{
    m_filling = true;
    setRowCount(int(stones.size()));
    m_filling = false;
    for (int r = 0; r < stones.size(); ++r)
        fillRow(r, stones.at(r));
}

QList<RefValues> StoneGrid::stones() const
{
    const QList<RefKind::Field> &fields = RefKind::stoneFields();
    QList<RefValues> list;
    for (int r = 0; r < rowCount(); ++r) {
        RefValues stone;
        for (int c = 0; c < fields.size(); ++c)
            stone.insert(fields[c].name, item(r, c) ? item(r, c)->text() : QString());
        list.append(stone);
    }
    return list;
}

int StoneGrid::appendStone()
{
    const int r = rowCount();
    m_filling = true;
    insertRow(r);
    m_filling = false;
    fillRow(r, {});
    setCurrentCell(r, 0);
    Q_EMIT stonesEdited();
    return r;
}

void StoneGrid::removeStone(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    m_filling = true;
    removeRow(row);
    m_filling = false;
    Q_EMIT stonesEdited();
}

void StoneGrid::setEditable(bool editable)
{
    m_editable = editable;
    const QList<RefValues> now = stones();
    setStones(now);
}

void StoneGrid::setChoices(const QString &field, const QStringList &choices)
{
    const QList<RefKind::Field> &fields = RefKind::stoneFields();
    for (int c = 0; c < fields.size(); ++c) {
        if (fields[c].name == field)
            m_delegate->setChoices(c, choices, true);
    }
}

void StoneGrid::cellChanged(QTableWidgetItem *)
{
    if (!m_filling)
        Q_EMIT stonesEdited();
}

void StoneGrid::fillRow(int row, const RefValues &stone)
{
    const QList<RefKind::Field> &fields = RefKind::stoneFields();
    m_filling = true;
    for (int c = 0; c < fields.size(); ++c) {
        auto *cell = new QTableWidgetItem(stone.value(fields[c].name));
        Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
        if (m_editable)
            flags |= Qt::ItemIsEditable;
        cell->setFlags(flags);
        if (fields[c].type == RefKind::FieldType::Decimal)
            cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        setItem(row, c, cell);
    }
    m_filling = false;
}

} // namespace wip::reference
