#include "database/closeddays.h"

#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/transactionguard.h"
#include "runtime/values.h"

namespace wip {

namespace {

QDateTime midnight(const QDate &day)
{
    return QDateTime(day, QTime(0, 0));
}

QDateTime wholeSeconds(const QDateTime &t)
{
    return t.addMSecs(-t.time().msec());
}

QString dayText(const QString &department, const QDate &day)
{
    return QStringLiteral("%1 %2").arg(department, values::dateText(day));
}

ClosedDays::Outcome refused(const QString &message)
{
    return {false, message};
}

// Writes the change and its audit row in one work; the outcome says which.
ClosedDays::Outcome write(Transaction &tr, const AuditSource &who, const QString &sql, const QVariantList &values,
                          const AuditLog::Change &audit, const QDateTime &now, const QString &done)
{
    TransactionGuard guard(tr);
    if (!guard.active() || !tr.execute(sql, values) || !AuditLog::write(tr, who, {audit}, now)) {
        const QString why = tr.sqlErrText;
        guard.rollback();
        return refused(QStringLiteral("日结未能保存, 没有写入任何资料: ") + why);
    }
    if (!guard.commit())
        return refused(QStringLiteral("日结未能保存, 没有写入任何资料: ") + tr.sqlErrText);
    return {true, done};
}

} // namespace

std::optional<ClosedDays::Closed> ClosedDays::find(Transaction &tr, const QString &department, const QDate &day,
                                                  QString *error)
{
    const auto row = tr.selectInto(QStringLiteral("select closed_by, closed_at from closed_day "
                                                  "where dept = ? and day = ? and reopened_at is null "
                                                  "order by closed_at"),
                                   {department.trimmed(), midnight(day)});
    if (!row) {
        if (error)
            *error = tr.sqlCode == 100 ? QString() : tr.sqlErrText;
        return std::nullopt;
    }
    if (error)
        error->clear();
    return Closed{department.trimmed(), day, row->at(0).toString(), fromDbValue(row->at(1), ColumnKind::DateTime).toDateTime()};
}

std::optional<QDate> ClosedDays::lastClosed(Transaction &tr, const QString &department, QString *error)
{
    const auto row = tr.selectInto(QStringLiteral("select max(day) from closed_day where dept = ? and reopened_at is null"),
                                   {department.trimmed()});
    if (error)
        *error = row || tr.sqlCode == 100 ? QString() : tr.sqlErrText;
    if (!row || row->at(0).isNull())
        return std::nullopt;
    const QDate day = fromDbValue(row->at(0), ColumnKind::DateTime).toDateTime().date();
    return day.isValid() ? std::optional<QDate>(day) : std::nullopt;
}

QString ClosedDays::refusal(const Closed &closed)
{
    return QStringLiteral("%1 已日结 (%2 于 %3 关闭), 不能再改动; 更正请在未日结的日子写冲销记录")
        .arg(dayText(closed.department, closed.day), closed.closedBy,
             closed.closedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

QString ClosedDays::refusal(Transaction &tr, const QString &department, const QDateTime &when)
{
    QString error;
    if (const auto closed = find(tr, department, when.date(), &error))
        return refusal(*closed);
    return error.isEmpty() ? QString() : QStringLiteral("读取日结未成功: ") + error;
}

ClosedDays::Outcome ClosedDays::close(Transaction &tr, const AuditSource &who, Rights rights,
                                      const QString &department, const QDate &day, const QDateTime &now)
{
    const QString what = dayText(department.trimmed(), day);
    if (!(rights & Right::Supervisor))
        return refused(QStringLiteral("用户 %1 没有主管权限, 不能日结 %2").arg(who.user, what));
    if (!day.isValid() || day > now.date())
        return refused(QStringLiteral("%1 还没有过完, 不能日结").arg(what));
    QString error;
    if (const auto closed = find(tr, department, day, &error))
        return refused(QStringLiteral("%1 已由 %2 日结").arg(what, closed->closedBy));
    if (!error.isEmpty())
        return refused(QStringLiteral("读取日结未成功: ") + error);
    const QDateTime stamp = wholeSeconds(now);
    return write(tr, who,
                 QStringLiteral("insert into closed_day (dept, day, closed_by, closed_at) values (?, ?, ?, ?)"),
                 {department.trimmed(), midnight(day), who.user, stamp},
                 {QString(), QVariant(), QStringLiteral("day:close"), QVariant(), what}, stamp,
                 QStringLiteral("%1 已日结 (%2)").arg(what, who.user));
}

ClosedDays::Outcome ClosedDays::reopen(Transaction &tr, const AuditSource &who, Rights rights,
                                       const QString &department, const QDate &day, const QDateTime &now)
{
    const QString what = dayText(department.trimmed(), day);
    if (!(rights & Right::Users))
        return refused(QStringLiteral("用户 %1 不是管理员 (用户权限), 不能重开 %2").arg(who.user, what));
    QString error;
    const auto closed = find(tr, department, day, &error);
    if (!closed)
        return refused(error.isEmpty() ? QStringLiteral("%1 没有日结, 不用重开").arg(what)
                                       : QStringLiteral("读取日结未成功: ") + error);
    const QDateTime stamp = wholeSeconds(now);
    return write(tr, who,
                 QStringLiteral("update closed_day set reopened_by = ?, reopened_at = ? "
                                "where dept = ? and day = ? and reopened_at is null"),
                 {who.user, stamp, department.trimmed(), midnight(day)},
                 {QString(), QVariant(), QStringLiteral("day:reopen"),
                  QStringLiteral("%1 (%2 日结)").arg(what, closed->closedBy), what},
                 stamp, QStringLiteral("%1 已重开 (%2)").arg(what, who.user));
}

} // namespace wip
