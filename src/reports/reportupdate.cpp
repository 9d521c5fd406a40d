#include "reports/reportupdate.h"

#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"

namespace wip::reports {

ReportUpdate::ReportUpdate(const Definition &definition, const RowTable &rows)
    : m_definition(definition)
    , m_rows(rows)
{
    for (const Column &c : definition.columns) {
        const int dot = c.dbName.indexOf(QLatin1Char('.'));
        if (c.dbName.isEmpty())
            m_dbColumns.append(c.name);
        else if (dot < 0)
            m_dbColumns.append(c.dbName);
        else if (c.dbName.left(dot).compare(definition.updateTable, Qt::CaseInsensitive) == 0)
            m_dbColumns.append(c.dbName.mid(dot + 1));
        else
            m_dbColumns.append(QString());
    }
    for (const QString &k : definition.keyColumns)
        m_keys.append(definition.columnIndex(k));
}

QString ReportUpdate::whereKeys(const QVector<QVariant> &values, QVariantList *bind) const
{
    QStringList terms;
    for (int k : m_keys) {
        terms.append(m_dbColumns.at(k) + QLatin1String(" = ?"));
        bind->append(values.at(k));
    }
    return terms.join(QLatin1String(" and "));
}

bool ReportUpdate::run(Transaction &tr, const QString &sql, const QVariantList &values, bool mustTouchOne)
{
    if (!tr.execute(sql, values)) {
        m_failure = tr.sqlErrText;
        return false;
    }
    if (mustTouchOne && tr.sqlNRows != 1) {
        m_failure = QStringLiteral("%1 rows matched the key instead of 1 [%2]").arg(tr.sqlNRows).arg(sql);
        return false;
    }
    return true;
}

bool ReportUpdate::writeChangedRow(Transaction &tr, int row)
{
    const RowTable::RowState &s = m_rows.state(row);
    QStringList sets;
    QVariantList bind;
    for (int c = 0; c < m_rows.columnCount(); ++c) {
        if (c < s.modified.size() && s.modified.testBit(c) && !m_dbColumns.at(c).isEmpty()) {
            sets.append(m_dbColumns.at(c) + QLatin1String(" = ?"));
            bind.append(m_rows.value(row, c));
        }
    }
    if (sets.isEmpty())
        return true;
    const QString where = whereKeys(s.original.isEmpty() ? m_rows.rowValues(row) : s.original, &bind);
    return run(tr, QStringLiteral("update %1 set %2 where %3").arg(m_definition.updateTable, sets.join(QLatin1String(", ")), where),
               bind, true);
}

bool ReportUpdate::writeNewRow(Transaction &tr, int row)
{
    QStringList names;
    QStringList marks;
    QVariantList bind;
    for (int c = 0; c < m_rows.columnCount(); ++c) {
        const QVariant v = m_rows.value(row, c);
        if (!m_dbColumns.at(c).isEmpty() && !v.isNull()) {
            names.append(m_dbColumns.at(c));
            marks.append(QStringLiteral("?"));
            bind.append(v);
        }
    }
    if (names.isEmpty())
        return true;
    return run(tr, QStringLiteral("insert into %1 (%2) values (%3)")
                       .arg(m_definition.updateTable, names.join(QLatin1String(", ")), marks.join(QLatin1String(", "))),
               bind, false);
}

bool ReportUpdate::write(Transaction &tr)
{
    const QString &name = m_definition.name;
    TransactionGuard guard(tr);
    if (!guard.active()) {
        Trace::write(QStringLiteral("Update %1: %2").arg(name, tr.sqlErrText));
        return false;
    }
    bool ok = true;
    for (const RowTable::DeletedRow &r : m_rows.deleted()) {
        QVariantList bind;
        const QString where = whereKeys(r.values, &bind);
        if (!(ok = run(tr, QStringLiteral("delete from %1 where %2").arg(m_definition.updateTable, where), bind, true)))
            break;
    }
    for (int row = 0; ok && row < m_rows.rowCount(); ++row) {
        const RowStatus status = m_rows.state(row).status;
        if (status == RowStatus::DataModified)
            ok = writeChangedRow(tr, row);
        else if (status == RowStatus::NewModified)
            ok = writeNewRow(tr, row);
    }
    if (!ok) {
        guard.rollback();
        tr.reportFailure(m_failure);
        Trace::write(QStringLiteral("Update %1 failed, nothing written: %2").arg(name, m_failure));
        return false;
    }
    if (!guard.commit()) {
        Trace::write(QStringLiteral("Update %1 failed at commit: %2").arg(name, tr.sqlErrText));
        return false;
    }
    return true;
}

} // namespace wip::reports
