#pragma once

#include "reference/refkind.h"
#include "reference/refrow.h"

#include <QMap>
#include <QStringList>

#include <optional>

namespace wip {
class Transaction;
}

namespace wip::reference {

// Reads reference data through a Transaction: a kind's rows as a window or an
// export shows them, its codes, and where a code is used. Each call gives
// nullopt when a statement fails, with the transaction's status and error().
class ReferenceReader
{
public:
    explicit ReferenceReader(Transaction &tr) : m_tr(tr) {}

    // Every row of the kind, ordered by code, numbered from 1, Unchanged, with
    // `original` equal to `values`; a style's stone lines with it.
    std::optional<QList<RefRow>> load(const RefKind &kind);
    // The codes of the kind's rows and whether each is in use (active).
    // wholeTable: every row of the table, also those of the kind sharing it
    // (metals and stones are both in material, one list of codes).
    std::optional<QMap<QString, bool>> codes(const RefKind &kind, bool wholeTable = false);
    // The places a code is used ("合约明细 contract lines"), none when it is free.
    std::optional<QStringList> whereUsed(const RefKind &kind, const QString &code);
    // Every style's picture name, lower case (a picture folder on a Windows
    // share sees one file for names the same but for case), and its article.
    std::optional<QMap<QString, QString>> pictureNames();

    QString error() const { return m_error; }

private:
    std::optional<QList<QVariantList>> rows(const QString &sql, const QVariantList &values = {});
    bool readStones(QList<RefRow> &styles);

    Transaction &m_tr;
    QString m_error;
};

} // namespace wip::reference
