#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace wip {

class Transaction;

// The ticket that travels with the job bag of one contract line. Its code is
// "<scno>-<n>", n being the line's place in its contract (1 for the lowest
// scond_id), so that a scanner reads back contract and line.
struct BagTicket
{
    QString code;
    QString scno;
    int position = 0;
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

    static QString codeFor(const QString &scno, int position);
    // Splits a scanned code at its last '-': false when there is none or the
    // part after it is not a whole number of at least 1.
    static bool parseCode(const QString &code, QString *scno, int *position);

    // One ticket per line of each contract, in the order given, lines by
    // scond_id. A contract number that has no header is named in *missing (the
    // others are still read); false when the database cannot be read.
    static bool read(Transaction &tr, const QStringList &scnos, QList<BagTicket> *tickets, QStringList *missing,
                     QString *error);
    // The ticket of one code; false with *error saying why when there is no
    // such contract or line.
    static bool find(Transaction &tr, const QString &code, BagTicket *ticket, QString *error);
};

} // namespace wip
