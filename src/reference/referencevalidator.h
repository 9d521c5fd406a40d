#pragma once

#include "reference/refkind.h"
#include "reference/refproblem.h"
#include "reference/referencereader.h"
#include "reference/refrow.h"

#include <QHash>
#include <QList>
#include <QMap>

#include <optional>

namespace wip {
class Transaction;
}

namespace wip::reference {

// Checks rows of one kind of reference data before anything is written, and
// returns every problem, each naming the row, the field and why:
//
//   - a code is given, on one line, unique among the kind's table (without
//     regard to case: 18k and 18K are one code) and among the rows, and never
//     changed once saved;
//   - texts are one line of at most the field's length; a field that must be
//     given is; a choice is one of its values (GOLD, PT);
//   - a decimal is a number of at most three places: a purity above 0 and at
//     most 1, and a style's stones per piece above 0 (the placeholder stone
//     INIST: 0);
//   - a metal's hallmark states its purity (Fineness);
//   - a code of another kind (a worker's department, a style's product type,
//     stone and setting method) is one of that kind, in use when newly given;
//   - a style's picture file is a picture, its article code can name the copy,
//     and no other style has a picture of that name; a style's stone lines
//     name each stone and setting method once;
//   - a deleted code is used nowhere (RefKind::uses): one in use can only be
//     made inactive; the process and stock codes are neither added nor deleted.
//
// rows() then holds the rows as they are to be written: a choice or a code of
// another kind in the spelling the database has ("gold" is GOLD), a style's
// picture name given by its picture file.
class ReferenceValidator
{
public:
    ReferenceValidator(Transaction &tr, const RefKind &kind);

    // Every problem, by row; empty when the rows can be saved. nullopt when the
    // database cannot be read (error()).
    std::optional<QList<RefProblem>> validate(QList<RefRow> rows);
    const QList<RefRow> &rows() const { return m_rows; }
    QString error() const { return m_error; }

private:
    // The codes of another kind: by lower case, and whether each is in use.
    struct Lookup
    {
        QHash<QString, QString> byLowerCase;
        QMap<QString, bool> active;
    };

    bool readLookups();
    bool readLookup(const QString &kindName);
    void add(const RefRow &row, const RefKind::Field &field, const QString &reason, int stone = 0);
    void checkChange(const RefRow &row);
    void checkFields(RefRow &row);
    QString fieldProblem(const RefKind::Field &field, QString &value, bool newValue);
    QString textProblem(const RefKind::Field &field, const QString &value) const;
    QString referenceProblem(const RefKind::Field &field, QString &value, bool newValue);
    void checkMetal(const RefRow &row);
    void checkAllowance(RefRow &row);
    void checkRecovery(RefRow &row);
    void makeKey(RefRow &row);
    void checkPicture(RefRow &row);
    void checkStones(RefRow &row);
    bool checkUnique();
    bool checkPictureNames();
    bool checkDeletions();

    Transaction &m_tr;
    const RefKind &m_kind;
    ReferenceReader m_reader;
    QList<RefRow> m_rows;
    QList<RefProblem> m_problems;
    QHash<QString, Lookup> m_lookups;
    QString m_error;
};

} // namespace wip::reference
