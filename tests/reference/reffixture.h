#pragma once

#include "database/rightscatalogue.h"
#include "reference/referencereader.h"
#include "reference/refkind.h"
#include "reference/refrow.h"
#include "runtime/appglobals.h"
#include "testdatabase.h"

#include <QStringList>

namespace wip::test {

// The small factory of data/factory.json.
inline bool fillFactory(TestDatabase &db)
{
    return db.insertRows(qEnvironmentVariable("WIP_TEST_DATA") + QStringLiteral("/factory.json"));
}

// The user CLERK with the right "资料" only, VIEW and CONTRACTS with
// sales-contract rights only (X03B, X99A), ADMIN with every right, as 用户与权限
// writes them; CLERK logged in.
inline void installRights()
{
    setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
        Rights rights;
        if (user == QLatin1String("CLERK"))
            rights = Right::ReferenceData;
        else if (user == QLatin1String("ADMIN"))
            rights = RightsCatalogue::every();
        else if (user == QLatin1String("VIEW"))
            rights = Right::ContractEdit;
        else if (user == QLatin1String("CONTRACTS"))
            rights = Right::ContractAdd | Right::ContractEdit | Right::ContractDelete;
        for (const RightsCatalogue::Text &t : RightsCatalogue::textsFor(rights)) {
            if (t.module == module && t.function == function)
                return t.text;
        }
        return QString();
    });
    user_code() = QStringLiteral("CLERK");
}

// Rows of a kind from short texts, numbered from 1 in their order:
//   "+mcode=18KR;mtype=GOLD"   an added row
//   "~18KY:hallmark=585"       the saved row 18KY with these fields changed
//   "-18KY"                    the saved row 18KY deleted
// A style's stones: "stones=DIA@钉镶*2,INIST@初始镶法*0". "\n" in a value is a line break.
inline QList<reference::RefRow> rowsFor(Transaction &tr, const reference::RefKind &kind, const QStringList &edits)
{
    using reference::RefRow;
    QList<RefRow> saved = reference::ReferenceReader(tr).load(kind).value_or(QList<RefRow>());
    const auto find = [&saved, &kind](const QString &code) {
        for (const RefRow &r : saved) {
            if (r.original.value(kind.keyField) == code)
                return r;
        }
        return RefRow();
    };
    const auto apply = [](RefRow &row, const QString &fields) {
        for (const QString &pair : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QString name = pair.section(QLatin1Char('='), 0, 0);
            const QString value = pair.section(QLatin1Char('='), 1).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
            if (name != QLatin1String("stones")) {
                row.values.insert(name, value);
                continue;
            }
            row.stones.clear();
            for (const QString &s : value.split(QLatin1Char(','), Qt::SkipEmptyParts))
                row.stones.append({{"stone_code", s.section('@', 0, 0)},
                                   {"settype_code", s.section('@', 1).section('*', 0, 0)},
                                   {"qtycal", s.section('*', 1)}});
        }
    };
    QList<RefRow> rows;
    for (const QString &edit : edits) {
        RefRow row;
        if (edit.startsWith(QLatin1Char('+'))) {
            row.change = RefRow::Change::Added;
            apply(row, edit.mid(1));
        } else if (edit.startsWith(QLatin1Char('~'))) {
            row = find(edit.mid(1).section(QLatin1Char(':'), 0, 0));
            row.change = RefRow::Change::Edited;
            apply(row, edit.section(QLatin1Char(':'), 1));
        } else {
            row = find(edit.mid(1));
            row.change = RefRow::Change::Deleted;
        }
        row.line = int(rows.size()) + 1;
        rows.append(row);
    }
    return rows;
}

} // namespace wip::test
