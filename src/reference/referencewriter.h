#pragma once

#include "reference/referenceaudit.h"
#include "reference/refkind.h"
#include "reference/refproblem.h"
#include "reference/refrow.h"

#include <QList>
#include <QString>

#include <memory>
#include <vector>

namespace wip {
class Transaction;
}

namespace wip::reference {

class StylePicture;

// How a save runs.
struct SaveOptions
{
    bool checkOnly = false;      // check the rows, count what would change, write nothing
    bool rightChecked = false;   // the caller has checked a right of its own (an import: 导入)
};

// What a save did: saved, or refused with the problems row by row, or failed
// with the database's or the file system's words. Nothing is written unless
// `saved`. The counts are of rows added, rows whose fields or stones change,
// rows deleted (with checkOnly, what a save would do).
struct SaveOutcome
{
    bool saved = false;
    QList<RefProblem> problems;
    QString error;
    int added = 0;
    int edited = 0;
    int deleted = 0;

    bool refused() const { return !problems.isEmpty(); }
    // The refusal as the clerk reads it: at most `limit` problems, then how many more.
    QString problemText(int limit = 20) const;
};

// Saves rows of one kind of reference data all or nothing: the user's right is
// checked (ReferenceRights), the rows are checked (ReferenceValidator), and only
// then, in one transaction, rows are deleted, changed and added, a style's
// stone lines and stones per piece written, its picture copied, and every
// change written to the audit trail. A refusal or a failure writes nothing and
// leaves the picture folder as it was.
//
// The window w_refdata and `wip import` both save through here, with rows of
// plain texts (RefRow). A transaction already holding the caller's work gets a
// savepoint; the caller then commits its work. Added rows, their stone lines
// and the audit rows go to the database in batches of many rows a statement,
// so that a file of a hundred thousand codes is written as quickly as a plain
// insert of them.
class ReferenceWriter
{
public:
    ReferenceWriter(Transaction &tr, const RefKind &kind, ReferenceAudit::Source who);
    ~ReferenceWriter();

    SaveOutcome save(QList<RefRow> rows, const SaveOptions &options = {});

    // Whether saving an edited row changes a field or a stone line.
    bool changes(const RefRow &row) const;

private:
    bool write(const QList<RefRow> &rows, SaveOutcome &outcome);
    QList<RefRow> stamped(QList<RefRow> rows) const;
    bool insertRows(const QList<RefRow> &rows, SaveOutcome &outcome);
    bool batchFailed(const QString &error);
    void countChanges(const QList<RefRow> &rows, SaveOutcome &outcome) const;
    bool updateRow(const RefRow &row, SaveOutcome &outcome);
    bool deleteRow(const RefRow &row);
    bool writeStones(const RefRow &row);
    bool writeStoneNeed(const QString &article, const QList<RefValues> &stones);
    bool stagePictures(const QList<RefRow> &rows, SaveOutcome &outcome);
    void auditRow(const QString &key, const RefValues &before, const RefValues &after);

    Transaction &m_tr;
    const RefKind &m_kind;
    ReferenceAudit::Source m_who;
    std::unique_ptr<ReferenceAudit> m_audit;   // while a save writes
    std::vector<std::unique_ptr<StylePicture>> m_pictures;
};

} // namespace wip::reference
