#include "contracts/contractbulkwriter.h"

#include "database/batchinserter.h"
#include "runtime/cursor.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

#include <QDateTime>

#include <algorithm>

namespace wip {

namespace {

QDateTime startOfDay(const QDate &date)
{
    return QDateTime(date, QTime(0, 0));
}

// The audit rows of changes, as AuditLog::write writes them; stamp: the time as the databases' text.
bool addAudit(BatchInserter &audit, const QString &stamp, const AuditSource &who, const QList<AuditLog::Change> &changes)
{
    for (const AuditLog::Change &c : changes) {
        const QVariant line = c.scondId.isNull() || !c.scondId.isValid() ? QVariant(QMetaType::fromType<qlonglong>())
                                                                          : QVariant(c.scondId.toLongLong());
        if (!audit.add({stamp, who.user, who.source, c.scno, line, c.field, AuditLog::text(c.oldValue),
                        AuditLog::text(c.newValue)}))
            return false;
    }
    return true;
}

} // namespace

ContractBulkWriter::ContractBulkWriter(Transaction &tr, const AuditSource &who)
    : m_tr(tr), m_who(who)
{
}

QList<int> ContractBulkWriter::numbers(const QList<ContractLine> &lines, int *next)
{
    int highest = 0;
    for (const ContractLine &line : lines)
        highest = std::max(highest, line.lineNo);
    QList<int> list;
    for (const ContractLine &line : lines)
        list << (line.lineNo > 0 ? line.lineNo : ++highest);
    *next = highest + 1;
    return list;
}

bool ContractBulkWriter::newLineIds(qsizetype count, QList<qlonglong> *ids)
{
    if (count == 0)
        return true;
    if (m_tr.kind() == DbKind::PostgreSQL) {
        Cursor c(m_tr, QStringLiteral("select nextval(pg_get_serial_sequence('scond', 'scond_id')) "
                                      "from generate_series(1, ?)"),
                 {qlonglong(count)});
        if (!c.open())
            return false;
        while (const auto row = c.fetch())
            ids->append(row->at(0).toLongLong());
        c.close();
        return ids->size() == count;
    }
    const auto row = m_tr.selectInto(QStringLiteral("select coalesce(max(t.id), 0) + 1 from (select max(scond_id) as id "
                                                    "from scond union all select max(scond_id) from audit_log) t"));
    if (!row)
        return false;
    for (qlonglong id = row->at(0).toLongLong(); ids->size() < count; ++id)
        ids->append(id);
    return true;
}

bool ContractBulkWriter::write(const QList<NewContract> &contracts)
{
    qsizetype lineCount = 0;
    for (const NewContract &c : contracts)
        lineCount += c.lines.size();
    QList<qlonglong> ids;
    if (!m_tr.beginIfManual() || !newLineIds(lineCount, &ids))
        return false;
    QStringList lineColumns{QStringLiteral("scond_id"), QStringLiteral("scno"), QStringLiteral("line_no")};
    for (const LineField &f : LineField::all())
        lineColumns << f.column;
    const QSqlDatabase db = m_tr.database();
    BatchInserter headers(db, m_tr.kind(), QStringLiteral("sconh"),
                          {"scno", "cust_no", "cust_order", "issdate", "deldate", "take", "next_line_no"});
    BatchInserter lines(db, m_tr.kind(), QStringLiteral("scond"), lineColumns);
    BatchInserter audit(db, m_tr.kind(), QStringLiteral("audit_log"),
                        {"changed_at", "user_code", "source", "scno", "scond_id", "field", "old_value", "new_value"});
    const QDateTime now = QDateTime::currentDateTime();
    const QString stamp = values::dateTimeText(now.addMSecs(-now.time().msec()));
    qsizetype nextId = 0;
    bool ok = true;
    for (const NewContract &c : contracts) {
        const ContractHeader &h = c.header;
        int next = 1;
        const QList<int> numbers = ContractBulkWriter::numbers(c.lines, &next);
        const AuditLog::Record header{{"scno", h.scno}, {"cust_no", h.custNo}, {"cust_order", h.custOrder},
                                      {"issdate", startOfDay(h.issdate)}, {"deldate", startOfDay(h.deldate)}, {"take", 0}};
        ok = ok && headers.add({h.scno, h.custNo, h.custOrder, startOfDay(h.issdate), startOfDay(h.deldate), 0, next})
            && addAudit(audit, stamp, m_who, AuditLog::diff(h.scno, QVariant(), {}, header));
        for (qsizetype i = 0; ok && i < c.lines.size(); ++i) {
            const qlonglong id = ids.at(nextId++);
            QVariantList values{id, h.scno, numbers.at(i)};
            AuditLog::Record after{{QStringLiteral("line_no"), numbers.at(i)}};
            for (const LineField &f : LineField::all()) {
                values << ContractSave::storedValue(f, c.lines.at(i).text(f.column));
                after.insert(f.column, values.last());
            }
            ok = lines.add(values) && addAudit(audit, stamp, m_who, AuditLog::diff(h.scno, id, {}, after));
        }
    }
    for (BatchInserter *b : {&headers, &lines, &audit}) {
        if (!ok || !b->flush()) {
            m_tr.statementFailed(headers.error() + lines.error() + audit.error());
            return false;
        }
    }
    return true;
}

} // namespace wip
