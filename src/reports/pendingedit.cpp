#include "reports/pendingedit.h"

#include "reports/datastore.h"
#include "runtime/decimal.h"
#include "runtime/hosterror.h"
#include "runtime/values.h"

#include <QDate>
#include <QDateTime>

namespace wip::reports {

PendingEdit::PendingEdit(DataStore &store)
    : m_store(store)
{
    connect(&store, &DataStore::itemChanged, this, &PendingEdit::fieldSet);
    connect(&store, &DataStore::rowsReset, this, &PendingEdit::close);
    connect(&store, &DataStore::rowInserted, this, &PendingEdit::rowMoved);
    connect(&store, &DataStore::rowDeleted, this, &PendingEdit::rowMoved);
}

void PendingEdit::open(int row, const QString &column)
{
    const QString shown = textOf(m_store.GetItem(row, column));
    m_stage = Stage::Editing;
    m_row = row;
    m_column = column;
    m_shown = shown;
    m_text = shown;
}

void PendingEdit::setText(const QString &text)
{
    if (isOpen())
        m_text = text;
}

void PendingEdit::close()
{
    m_stage = Stage::Closed;
    m_row = 0;
    m_column.clear();
    m_text.clear();
    m_shown.clear();
}

int PendingEdit::accept()
{
    switch (m_stage) {
    case Stage::Closed:
        return 1;
    case Stage::Announcing:
        return write();                   // the handler asks for the text now
    case Stage::Editing:
        break;
    }
    if (!changed())
        return 1;
    if (!m_store.fits(m_column, m_text))
        return -1;
    m_stage = Stage::Announcing;
    Q_EMIT itemChanging(m_row, m_column, m_text);
    // The handler may have put the text in, set the field itself or moved on.
    return m_stage == Stage::Announcing ? write() : 1;
}

int PendingEdit::write()
{
    m_stage = Stage::Editing;
    if (!changed())
        return 1;
    try {
        m_store.SetItem(m_row, m_column, m_text);   // the field's new value comes back through fieldSet()
    } catch (const HostError &) {
        return -1;
    }
    return 1;
}

void PendingEdit::fieldSet(int row, const QString &column)
{
    if (!isOpen() || row != m_row || column.compare(m_column, Qt::CaseInsensitive) != 0)
        return;
    m_stage = Stage::Editing;
    m_shown = textOf(m_store.GetItem(row, column));
    m_text = m_shown;
}

void PendingEdit::rowMoved(int row)
{
    if (isOpen() && row <= m_row)
        close();
}

QString PendingEdit::textOf(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (Decimal::isDecimal(value))
        return values::numberText(*Decimal::fromVariant(value));
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return values::numberText(value.toDouble());
    case QMetaType::QDate:
        return values::dateText(value.toDate());
    case QMetaType::QDateTime:
        return values::dateTimeText(value.toDateTime());
    default:
        return value.toString();
    }
}

} // namespace wip::reports
