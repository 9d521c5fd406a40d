#include "desk/bagticket.h"

#include "desk/deskvalues.h"
#include "database/linenumbers.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

const QString kLineColumns = QStringLiteral(
    "select scond.scond_id, scond.design_no, scond.article_code, scond.metal, scond.size, scond.quantity, "
    "scond.metal_netwt, scond.hallmark, scond.line_no from scond ");
const QString kHeaderColumns = QStringLiteral("cust_no, cust_order, deldate");
const QString kHeader = QStringLiteral("select ") + kHeaderColumns + QStringLiteral(" from sconh where scno = ?");

using deskvalues::text;

// The ticket of one line (the columns of kLineColumns) of a contract (kHeader).
BagTicket ticketOf(const QString &scno, const QVariantList &header, const QVariantList &line)
{
    BagTicket t;
    t.scno = scno;
    t.lineNo = line.at(8).toInt();
    t.code = BagTicket::codeFor(scno, t.lineNo);
    t.scondId = line.at(0).toLongLong();
    t.custNo = text(header.at(0));
    t.custOrder = text(header.at(1));
    t.delivery = fromDbValue(header.at(2), ColumnKind::DateTime).toDateTime().date();
    t.designNo = text(line.at(1));
    t.articleCode = text(line.at(2));
    t.metal = text(line.at(3));
    t.size = text(line.at(4));
    t.quantity = fromDbValue(line.at(5), ColumnKind::Number);
    t.metalNetwt = fromDbValue(line.at(6), ColumnKind::Number);
    t.hallmark = text(line.at(7));
    return t;
}

} // namespace

QString BagTicket::codeFor(const QString &scno, int lineNo)
{
    return scno + QLatin1Char('-') + QString::number(lineNo);
}

bool BagTicket::parseCode(const QString &code, QString *scno, int *lineNo)
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
    *lineNo = n;
    return true;
}

bool BagTicket::read(Transaction &tr, const QStringList &scnos, QList<BagTicket> *tickets, QStringList *missing,
                     QString *error)
{
    for (const QString &scno : scnos) {
        const auto header = tr.selectInto(kHeader, {scno});
        if (!header) {
            if (tr.sqlCode != 100) {
                *error = tr.sqlErrText;
                return false;
            }
            missing->append(scno);
            continue;
        }
        Cursor lines(tr, kLineColumns + QStringLiteral("where scond.scno = ? order by scond.line_no, scond.scond_id"),
                     {scno});
        if (!lines.open()) {
            *error = tr.sqlErrText;
            return false;
        }
        while (const auto row = lines.fetch()) {
            if (row->at(8).isNull()) {
                // Every line is numbered when made or when the database was upgraded.
                *error = QStringLiteral("A line of contract %1 (scond_id %2) has no line number, so it has no "
                                        "ticket code.").arg(scno).arg(row->at(0).toLongLong());
                lines.close();
                return false;
            }
            tickets->append(ticketOf(scno, *header, *row));
        }
        if (tr.sqlCode == -1) {
            *error = tr.sqlErrText;
            return false;
        }
        lines.close();
    }
    return true;
}

QString BagTicket::headerColumns()
{
    return kHeaderColumns;
}

BagTicket::Lookup BagTicket::find(Transaction &tr, const QString &code, BagTicket *ticket, QString *error,
                                  const std::optional<QVariantList> &given)
{
    ticket->code = code.trimmed();
    if (!parseCode(code, &ticket->scno, &ticket->lineNo))
        return Lookup::NotACode;
    const auto header = given ? given : tr.selectInto(kHeader, {ticket->scno});
    if (!header) {
        *error = tr.sqlErrText;
        return tr.sqlCode == 100 ? Lookup::NoContract : Lookup::Failed;
    }
    const auto line = tr.selectInto(kLineColumns + QStringLiteral("where scond.scno = ? and scond.line_no = ?"),
                                    {ticket->scno, ticket->lineNo});
    if (line) {
        *ticket = ticketOf(ticket->scno, *header, *line);
        return Lookup::Found;
    }
    if (tr.sqlCode != 100) {
        *error = tr.sqlErrText;
        return Lookup::Failed;
    }
    // A number below the next one to give was given to a line once.
    const std::optional<int> next = LineNumbers::next(tr, ticket->scno);
    if (!next) {
        *error = tr.sqlErrText;
        return Lookup::Failed;
    }
    return ticket->lineNo < *next ? Lookup::LineDeleted : Lookup::NoLine;
}

} // namespace wip
