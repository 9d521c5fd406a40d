#pragma once

#include "database/auditlog.h"
#include "desk/bagticket.h"
#include "runtime/decimal.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <optional>

namespace wip {

class Transaction;
class TransactionGuard;

// A department of the progress record, as a scan names it.
struct ScanDepartment
{
    QString caption;        // "唧蜡", "倒模" ... as the progress form shows them
    QString inColumn;       // wax_in ...
    QString outColumn;      // wax_out ...
    QString nextInColumn;   // the next department's received column; empty for the last and the stone store
    bool countsStones = false;   // the stone store counts stones, not pieces

    static const QList<ScanDepartment> &all();
    static const ScanDepartment *find(const QString &caption);   // nullptr when unknown
};

enum class ScanAction { Out, In };   // "转出" for every department, "接收" for 唧蜡 only

// What one scan or undo did, or why it was refused (nothing written then).
struct ScanOutcome
{
    enum class Result {
        Done, UnknownCode, LineDeleted, Invoiced, OverScan, Duplicate, NoRight, NotForDepartment, NoStones, DayClosed,
        Failed
    };
    Result result = Result::Failed;
    QString message;               // one line for the clerk
    BagTicket ticket;
    QString department;
    ScanAction action = ScanAction::Out;
    // What the scan added to the department's figure: the line's pieces, or at
    // the stone store its stones (stones per piece times pieces).
    QVariant added;
    QVariant stonesPerPiece;       // at the stone store; null elsewhere
    // The department's figures after the scan (received, transferred out) and
    // the next department's received quantity; null when none.
    QVariant received, transferred, nextReceived;
    // For undo: each field the scan changed, with its value before and after,
    // and whether the scan created the record.
    QMap<QString, QPair<QVariant, QVariant>> changed;
    bool createdRecord = false;

    bool done() const { return result == Result::Done; }
};

// The scan station's work on the progress records, without a window: a scanned
// ticket adds its line's quantity to the department's figure in the contract's
// process record (creating the record as the progress form's add button does)
// and applies the progress form's rules to the new value, in one transaction
// that also writes the audit trail. The contract's header row is locked first,
// as the progress save does, so two stations scanning one contract end as if
// they had taken turns.
//
// Refused with nothing written: an unknown code, the ticket of a line deleted
// since it was printed (its number is never given again), an invoiced contract, a
// transfer out beyond what the department received, a ticket already scanned
// for this department and action (unless `again`), a user without the update
// right of the sales contracts, "接收" anywhere but 唧蜡, a receipt at 唧蜡
// that would take the line (a ticket received there and not undone) or the
// contract (the received figure against its lines' quantities) above its
// quantity, a stone-store scan of a line whose article has no stones per piece,
// a scan or undo on a day closed by a department whose figures it changes
// (ContractWrites::saveProcess).
class ScanStation
{
public:
    // rights: the user's rights text of the sales contracts (module M05, H06);
    // scanRight: the user holds the scan right (Right::Scan), which lets a
    // station's clerk scan without any right in the sales-contract window.
    ScanStation(Transaction &tr, const AuditSource &who, const QString &rights, bool scanRight = false);

    ScanOutcome scan(const QString &code, const ScanDepartment &department, ScanAction action, bool again = false);
    // A correction at the desk: takes back what a scan of the ticket added to
    // the department's figure (the line's quantity off it, the progress form's
    // rules applied as for a scan), with an audit row scan:<column> without a
    // new value, as an undo writes, so that the line may be scanned again.
    // Refused when the figure holds less than the line, and a receipt at 唧蜡
    // that is not standing.
    ScanOutcome cancel(const QString &code, const ScanDepartment &department, ScanAction action);
    // Reverses a scan that was done, in a transaction of its own: the fields it
    // changed go back to their values before it (the record it created is
    // deleted). Refused when another change has touched those fields since.
    ScanOutcome undo(const ScanOutcome &scan);

    // Whether a rights text allows updating the progress record: any right of
    // the sales-contract window (RightsCatalogue::contractRights).
    static bool mayUpdate(const QString &rights);
    static QString actionText(ScanAction action);   // "转出" / "接收"

private:
    ScanOutcome refuse(ScanOutcome o, ScanOutcome::Result result, const QString &message) const;
    ScanOutcome run(const QString &code, const ScanDepartment &department, ScanAction action, bool again, bool cancel);
    bool mayScan(ScanOutcome &o, const ScanDepartment &department, bool again, bool cancel, const QString &invoice,
                 const QVariantList &header);
    ScanOutcome write(ScanOutcome o, const ScanDepartment &department, TransactionGuard &guard, bool cancel);
    bool lockContract(const QString &scno, ScanOutcome &o, QString *invoice, QVariantList *header = nullptr);
    bool alreadyScanned(const ScanOutcome &o, const QString &column, bool *scanned);
    bool standingScans(const ScanOutcome &o, const QString &field, int *count);
    bool stonesPerPiece(const QString &articleCode, std::optional<Decimal> *perPiece, QString *why);
    bool contractQuantity(const QString &scno, Decimal *total);

    Transaction &m_tr;
    AuditSource m_who;
    bool m_mayUpdate = false;
};

} // namespace wip
