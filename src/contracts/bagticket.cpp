#include "contracts/bagticket.h"

#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

const QString kLines = QStringLiteral(
    "select scond.scond_id, scond.design_no, scond.article_code, scond.metal, scond.size, scond.quantity, "
    "scond.metal_netwt, scond.hallmark from scond where scond.scno = ? order by scond.scond_id");

QString text(const QVariant &v)
{
    return v.isNull() ? QString() : v.toString().trimmed();
}

} // namespace

QString BagTicket::codeFor(const QString &scno, int position)
{
    return scno + QLatin1Char('-') + QString::number(position);
}

bool BagTicket::parseCode(const QString &code, QString *scno, int *position)
{
    const QString c = code.trimmed();
    const qsizetype dash = c.lastIndexOf(QLatin1Char('-'));
    if (dash <= 0 || c.at(dash - 1) == QLatin1Char('-'))
        return false;
    bool ok = false;
    const QString digits = c.mid(dash + 1);
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || digits.startsWith(QLatin1Char('+')))
        return false;
    *scno = c.left(dash);
    *position = n;
    return true;
}

bool BagTicket::read(Transaction &tr, const QStringList &scnos, QList<BagTicket> *tickets, QStringList *missing,
                     QString *error)
{
    for (const QString &scno : scnos) {
        const auto header = tr.selectInto(
            QStringLiteral("select cust_no, cust_order, deldate from sconh where scno = ?"), {scno});
        if (!header) {
            if (tr.sqlCode != 100) {
                *error = tr.sqlErrText;
                return false;
            }
            missing->append(scno);
            continue;
        }
        Cursor lines(tr, kLines, {scno});
        if (!lines.open()) {
            *error = tr.sqlErrText;
            return false;
        }
        int position = 0;
        while (const auto row = lines.fetch()) {
            BagTicket t;
            t.scno = scno;
            t.position = ++position;
            t.code = codeFor(scno, position);
            t.scondId = row->at(0).toLongLong();
            t.custNo = text(header->at(0));
            t.custOrder = text(header->at(1));
            t.delivery = fromDbValue(header->at(2), ColumnKind::DateTime).toDateTime().date();
            t.designNo = text(row->at(1));
            t.articleCode = text(row->at(2));
            t.metal = text(row->at(3));
            t.size = text(row->at(4));
            t.quantity = fromDbValue(row->at(5), ColumnKind::Number);
            t.metalNetwt = fromDbValue(row->at(6), ColumnKind::Number);
            t.hallmark = text(row->at(7));
            tickets->append(t);
        }
        if (tr.sqlCode == -1) {
            *error = tr.sqlErrText;
            return false;
        }
        lines.close();
    }
    return true;
}

bool BagTicket::find(Transaction &tr, const QString &code, BagTicket *ticket, QString *error)
{
    QString scno;
    int position = 0;
    if (!parseCode(code, &scno, &position)) {
        *error = QStringLiteral("\"%1\" is not a bag ticket code").arg(code.trimmed());
        return false;
    }
    QList<BagTicket> tickets;
    QStringList missing;
    if (!read(tr, {scno}, &tickets, &missing, error))
        return false;
    if (!missing.isEmpty() || position > tickets.size()) {
        *error = QStringLiteral("unknown ticket %1").arg(code.trimmed());
        return false;
    }
    *ticket = tickets.at(position - 1);
    return true;
}

} // namespace wip
