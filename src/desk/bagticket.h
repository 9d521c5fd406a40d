#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantList>

#include <optional>

namespace wip {

class Transaction;

// The ticket that travels with the job bag of one contract line. Its code is
// "<scno>-<n>", n being the line's number (scond.line_no, LineNumbers), given
// when the line was made and never given again in its contract, so that a
// scanner reads back contract and line, and a ticket of a line deleted since
// names no other line.
struct BagTicket
{
    QString code;
    QString scno;
    int lineNo = 0;
    long long scondId = 0;
    QString custNo;
    QString custOrder;
    QString designNo;
    QString articleCode;
    QString metal;
    QString size;
    QVariant quantity;      // as stored: a decimal number or NULL
    QVariant metalNetwt;
    QString hallmark;
    QDate delivery;         // invalid when the contract has none

    static QString codeFor(const QString &scno, int lineNo);
    // Splits a scanned code at its last '-': false when there is none or the
    // part after it is not a whole number of at least 1.
    static bool parseCode(const QString &code, QString *scno, int *lineNo);

    // One ticket per line of each contract, in the order given, lines by their
    // number. A contract number that has no header is named in *missing (the
    // others are still read); false when the database cannot be read, or a
    // line has no number (*error names it).
    static bool read(Transaction &tr, const QStringList &scnos, QList<BagTicket> *tickets, QStringList *missing,
                     QString *error);

    // What a code names.
    enum class Lookup {
        Found,
        NotACode,       // not "<scno>-<n>"
        NoContract,     // no header of that contract number
        LineDeleted,    // the contract gave that number to a line since deleted
        NoLine,         // the contract never gave that number
        Failed,         // the database could not be read (*error)
    };
    // The ticket of one code; *ticket holds what the code names (contract and
    // line number) whatever the outcome, and the line's fields when Found.
    // header: the contract's row as headerColumns() reads it, where the caller
    // has read it already (with its lock); otherwise it is read here.
    static Lookup find(Transaction &tr, const QString &code, BagTicket *ticket, QString *error,
                       const std::optional<QVariantList> &header = std::nullopt);
    // The columns of sconh a ticket takes: "cust_no, cust_order, deldate".
    static QString headerColumns();
};

} // namespace wip
