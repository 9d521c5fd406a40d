#include "contracts/contractsave.h"

#include "contracts/contractlinerules.h"
#include "contracts/lineprogress.h"
#include "database/linenumbers.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"
#include "runtime/values.h"

namespace wip {

namespace {

using Kind = LineField::Kind;
using State = ContractLine::State;

bool numeric(Kind kind)
{
    return kind == Kind::Pieces || kind == Kind::Weight || kind == Kind::Money;
}

QDateTime midnight(const QDate &date)
{
    return QDateTime(date, QTime(0, 0));
}

} // namespace

// The value a field's text is stored as: a number exactly, a text trimmed, a
// blank as NULL.
QVariant ContractSave::storedValue(const LineField &field, const QString &text)
{
    const QString t = text.trimmed();
    if (numeric(field.kind)) {
        const std::optional<Decimal> d = ContractLineRules::number(t);
        return d ? d->toVariant() : Decimal::null();
    }
    return t.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(t);
}

// A stored value as the form shows it: numbers without needless places.
QString ContractSave::shownValue(const LineField &field, const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (numeric(field.kind)) {
        const std::optional<Decimal> d = Decimal::fromVariant(fromDbValue(value, ColumnKind::Number));
        return d && d->isValid() ? values::numberText(*d) : QString();
    }
    return value.toString();
}

ContractSave::ContractSave(Transaction &tr, const AuditSource &who, Rights rights)
    : m_tr(tr), m_who(who), m_rights(rights)
{
}

bool ContractSave::readLines(Transaction &tr, const QString &scno, QList<ContractLine> *lines)
{
    QStringList columns;
    for (const LineField &f : LineField::all())
        columns << f.column;
    Cursor c(tr, QStringLiteral("select scond_id, line_no, %1 from scond where scno = ? order by line_no, scond_id")
                     .arg(columns.join(", ")),
             {scno});
    if (!c.open())
        return false;
    lines->clear();
    while (const auto row = c.fetch()) {
        ContractLine line;
        line.state = State::Stored;
        line.scondId = row->at(0).toLongLong();
        line.lineNo = row->at(1).toInt();
        for (int i = 0; i < LineField::all().size(); ++i) {
            const LineField &f = LineField::all().at(i);
            line.stored.insert(f.column, shownValue(f, row->at(i + 2)));
        }
        line.texts = line.stored;
        lines->append(line);
    }
    const bool ok = tr.sqlCode == 100;
    c.close();
    return ok;
}

ContractSave::Result ContractSave::fail(TransactionGuard &guard, const QString &what)
{
    guard.rollback();
    m_problems = {what + (m_tr.sqlErrText.isEmpty() ? QString() : QStringLiteral(": ") + m_tr.sqlErrText)};
    return Result::Failed;
}

ContractSave::Result ContractSave::save(bool newContract, const ContractHeader &header, QList<ContractLine> *lines)
{
    m_problems = ContractLineRules::checkFields(*lines);
    TransactionGuard guard(m_tr);
    if (!guard.active())
        return fail(guard, QStringLiteral("数据库未能开始交易"));
    AuditLog::Record before;
    bool headerChanged = false;
    if (!readHeader(newContract, header, &before, &headerChanged)) {
        if (m_readFailed)
            return fail(guard, QStringLiteral("读取合约 %1 未成功").arg(header.scno));
        guard.rollback();
        return Result::Refused;
    }
    m_problems = ContractLineRules::checkRights(newContract, headerChanged, *lines, m_rights, m_who.user)
        + m_problems;
    checkCodes(*lines);
    ContractLineRules::Progress progress;
    if (!newContract) {
        if (!LineProgress::read(m_tr, header.scno, &progress))
            return fail(guard, QStringLiteral("读取合约 %1 的进度未成功").arg(header.scno));
        m_problems += ContractLineRules::checkProgress(header.scno, *lines, progress);
    }
    if (m_readFailed)
        return fail(guard, QStringLiteral("读取货号与金属资料未成功"));
    if (!m_problems.isEmpty()) {
        guard.rollback();
        return Result::Refused;
    }
    QList<ContractLine> written = *lines;
    if (!writeHeader(newContract, header, before, headerChanged) || !writeLines(header.scno, &written))
        return fail(guard, QStringLiteral("合约 %1 未能保存, 没有写入任何资料").arg(header.scno));
    if (!guard.commit())
        return fail(guard, QStringLiteral("合约 %1 未能保存, 没有写入任何资料").arg(header.scno));
    *lines = written;
    return Result::Saved;
}

// The header as stored, locked; for a new contract, that there is none yet.
// False with a problem when it cannot be saved, with m_readFailed when it
// could not be read.
bool ContractSave::readHeader(bool newContract, const ContractHeader &header, AuditLog::Record *before, bool *changed)
{
    const QString lock = m_tr.kind() == DbKind::PostgreSQL
        ? QStringLiteral("select scno from sconh where scno = ? for update")
        : QStringLiteral("select scno from sconh where scno = ?");
    const bool found = m_tr.selectInto(lock, {header.scno}).has_value();
    if (!found && m_tr.sqlCode != 100) {
        m_readFailed = true;
        return false;
    }
    if (newContract) {
        *changed = true;
        if (found)
            m_problems.prepend(QStringLiteral("KCNO已存在!"));
        return !found;
    }
    if (!found) {
        m_problems.prepend(QStringLiteral("合约 %1 已被删除, 没有保存!").arg(header.scno));
        return false;
    }
    if (!AuditLog::readHeader(m_tr, header.scno, before)) {
        m_readFailed = true;
        return false;
    }
    const AuditLog::Record after{{QStringLiteral("cust_no"), header.custNo},
                                 {QStringLiteral("cust_order"), header.custOrder},
                                 {QStringLiteral("issdate"), midnight(header.issdate)},
                                 {QStringLiteral("deldate"), midnight(header.deldate)}};
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (AuditLog::text(before->value(it.key())) != AuditLog::text(it.value()))
            *changed = true;
    }
    return true;
}

void ContractSave::checkCodes(const QList<ContractLine> &lines)
{
    m_problems += ContractLineRules::checkCodes(lines, [this](Kind kind, const QString &code) {
        return codeState(kind, code);
    });
}

ContractLineRules::Code ContractSave::codeState(Kind kind, const QString &code)
{
    using Code = ContractLineRules::Code;
    // Metals are the gold and platinum of the materials; stones, wax and the
    // like are no metal of a line. Active NULL is in use, as 1.
    const QString sql = kind == Kind::Article
        ? QStringLiteral("select coalesce(active, 1) from article where article_code = ?")
        : QStringLiteral("select coalesce(active, 1) from material where mcode = ? and mtype in ('GOLD', 'PT')");
    const auto row = m_tr.selectInto(sql, {code});
    if (!row) {
        m_readFailed = m_tr.sqlCode != 100;
        return m_readFailed ? Code::Known : Code::Unknown;
    }
    return row->at(0).toInt() == 0 ? Code::Inactive : Code::Known;
}

bool ContractSave::writeHeader(bool newContract, const ContractHeader &header, const AuditLog::Record &before,
                               bool changed)
{
    if (!changed)
        return true;
    const QVariantList values{header.custNo, header.custOrder, midnight(header.issdate), midnight(header.deldate),
                              header.scno};
    const bool ok = newContract
        ? m_tr.execute(QStringLiteral("insert into sconh (cust_no, cust_order, issdate, deldate, scno, take, "
                                      "next_line_no) values (?, ?, ?, ?, ?, 0, 1)"),
                       values)
        : m_tr.execute(QStringLiteral("update sconh set cust_no = ?, cust_order = ?, issdate = ?, deldate = ? "
                                      "where scno = ?"),
                       values)
            && m_tr.sqlNRows > 0;
    AuditLog::Record after;
    return ok && AuditLog::readHeader(m_tr, header.scno, &after)
        && AuditLog::write(m_tr, m_who, AuditLog::diff(header.scno, QVariant(), before, after));
}

bool ContractSave::writeLines(const QString &scno, QList<ContractLine> *lines)
{
    bool adds = false;
    for (const ContractLine &line : std::as_const(*lines))
        adds = adds || line.state == State::New;
    std::optional<int> next = adds ? LineNumbers::next(m_tr, scno) : std::optional<int>(0);
    if (!next)
        return false;
    for (ContractLine &line : *lines) {
        if (!writeLine(scno, line, &*next))
            return false;
    }
    lines->removeIf([](const ContractLine &line) { return line.state == State::Deleted; });
    return !adds || m_tr.execute(QStringLiteral("update sconh set next_line_no = ? where scno = ?"), {*next, scno});
}

// One line written with its audit rows; a new one numbered *nextNumber, which
// moves on.
bool ContractSave::writeLine(const QString &scno, ContractLine &line, int *nextNumber)
{
    if (line.state == State::Stored)
        return true;
    AuditLog::Record before;
    if (line.state != State::New && !AuditLog::readLine(m_tr, line.scondId, &before))
        return false;
    bool ok = false;
    if (line.state == State::Deleted) {
        ok = m_tr.execute(QStringLiteral("delete from scond where scond_id = ? and scno = ?"), {line.scondId, scno});
    } else if (line.state == State::Changed) {
        QStringList sets;
        QVariantList values;
        for (const QString &column : line.changedColumns()) {
            sets << column + QStringLiteral(" = ?");
            values << storedValue(*LineField::find(column), line.text(column));
        }
        ok = m_tr.execute(QStringLiteral("update scond set %1 where scond_id = ? and scno = ?").arg(sets.join(", ")),
                          values << line.scondId << scno);
    } else {
        const std::optional<long long> id = newLineId();
        if (!id)
            return false;
        QStringList columns{QStringLiteral("scond_id"), QStringLiteral("scno"), QStringLiteral("line_no")};
        QVariantList values{*id, scno, *nextNumber};
        for (const LineField &f : LineField::all()) {
            columns << f.column;
            values << storedValue(f, line.text(f.column));
        }
        const QString marks = QStringLiteral("?, ").repeated(columns.size() - 1) + QStringLiteral("?");
        ok = m_tr.execute(QStringLiteral("insert into scond (%1) values (%2)").arg(columns.join(", "), marks), values);
        line.scondId = *id;
        line.lineNo = (*nextNumber)++;
    }
    // A line another clerk has deleted meanwhile is not written as if it were there.
    if (!ok || m_tr.sqlNRows != 1)
        return false;
    AuditLog::Record after;
    if (line.state != State::Deleted && !AuditLog::readLine(m_tr, line.scondId, &after))
        return false;
    if (line.state != State::Deleted) {
        line.state = State::Stored;
        for (const LineField &f : LineField::all())
            line.texts[f.column] = shownValue(f, storedValue(f, line.text(f.column)));
        line.stored = line.texts;
    }
    return AuditLog::write(m_tr, m_who, AuditLog::diff(scno, line.scondId, before, after));
}

// The key of a new line. On SQLite a key whose line was deleted could be given
// again, and the audit trail (the scans of a line above all) would then read as
// the new line's: the key is taken above every key the lines and the trail hold.
std::optional<long long> ContractSave::newLineId()
{
    const QString sql = m_tr.kind() == DbKind::PostgreSQL
        ? QStringLiteral("select nextval(pg_get_serial_sequence('scond', 'scond_id'))")
        : QStringLiteral("select coalesce(max(t.id), 0) + 1 from (select max(scond_id) as id from scond "
                         "union all select max(scond_id) from audit_log) t");
    const auto row = m_tr.selectInto(sql);
    if (!row)
        return std::nullopt;
    return row->at(0).toLongLong();
}

} // namespace wip
