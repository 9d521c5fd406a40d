#pragma once

#include "contracts/contractline.h"
#include "contracts/contractlinerules.h"
#include "database/auditlog.h"
#include "database/rightscatalogue.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace wip {

class Transaction;
class TransactionGuard;

// The fields of a contract header (table sconh) that the forms change.
struct ContractHeader
{
    QString scno;
    QString custNo;
    QString custOrder;
    QDate issdate;
    QDate deldate;
};

// Saves a contract header with its lines, all or nothing, in one transaction
// of tr with their audit rows: the header (added, or changed where it
// differs), the lines deleted, changed and added. New lines are numbered then,
// after the contract's last number (LineNumbers), and the contract's counter
// moves on, so a number is never given twice.
//
// Before anything is written every check runs and each problem is listed
// (problems()), naming the line and field: the user's rights of the sales
// contracts, the fields, the article and metal codes, the pieces in
// production (ContractLineRules). With any problem, or any statement failing,
// nothing is written.
//
// On PostgreSQL the header row is locked first (SELECT ... FOR UPDATE), as the
// progress save and the scan station lock it; on SQLite the transaction holds
// the only write lock. So a scan cannot slip in between the progress check and
// the writes.
class ContractSave
{
public:
    enum class Result { Saved, Refused, Failed };

    ContractSave(Transaction &tr, const AuditSource &who, Rights rights);

    // newContract: the header is added (w_sconh_add), else the stored one changed.
    // On Saved the lines are as stored: new ones with their scond_id and number,
    // deleted ones gone, every one State::Stored.
    Result save(bool newContract, const ContractHeader &header, QList<ContractLine> *lines);
    // Why it was refused (every problem found) or failed (one line).
    const QStringList &problems() const { return m_problems; }

    // The lines of a contract, in number order; false when they cannot be read.
    static bool readLines(Transaction &tr, const QString &scno, QList<ContractLine> *lines);

    // The value a field's text is stored as (a number exactly, a text trimmed,
    // a blank as NULL), and a stored value as the form shows it (numbers
    // without needless places).
    static QVariant storedValue(const LineField &field, const QString &text);
    static QString shownValue(const LineField &field, const QVariant &value);

private:
    bool readHeader(bool newContract, const ContractHeader &header, AuditLog::Record *before, bool *changed);
    void checkCodes(const QList<ContractLine> &lines);
    ContractLineRules::Code codeState(LineField::Kind kind, const QString &code);
    bool writeHeader(bool newContract, const ContractHeader &header, const AuditLog::Record &before, bool changed);
    bool writeLines(const QString &scno, QList<ContractLine> *lines);
    bool writeLine(const QString &scno, ContractLine &line, int *nextNumber);
    std::optional<long long> newLineId();
    Result fail(TransactionGuard &guard, const QString &what);

    Transaction &m_tr;
    AuditSource m_who;
    Rights m_rights;
    QStringList m_problems;
    bool m_readFailed = false;
};

} // namespace wip
