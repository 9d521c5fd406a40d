#pragma once

#include "contracts/contractline.h"
#include "database/rightscatalogue.h"
#include "runtime/decimal.h"

#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>

namespace wip {

// The checks a contract and its lines pass before anything of them is saved.
// Each problem is one line for the clerk naming the line and the field:
//
//   第 2 行 数量: "2.5" 不是整数
//   新增第 1 行 货号: 款式资料里没有货号 R9999 (在 基础资料 › 款式 Styles 增加)
//   第 3 行不能删除: 这一行已有 12 件在生产中 (扫描记录)
//
// A new line is checked field by field, a changed one in the fields changed
// (what it held before stands as it was); a deleted one only against progress.
class ContractLineRules
{
public:
    // Why a field's text will not do, "" when it will: a required field left
    // blank, a text longer than the field takes, a number that is not one, a
    // quantity that is not a whole number above zero, a weight or price below
    // 0 or of more than three decimals (read exactly, never as a double).
    static QString fieldProblem(const LineField &field, const QString &text);
    // The number a text of a numeric field holds; nullopt for a blank or bad text.
    static std::optional<Decimal> number(const QString &text);

    static QStringList checkFields(const QList<ContractLine> &lines);

    // What the reference data says of an article (Kind::Article) or metal
    // (Kind::Metal) code: a code made inactive is given to no new work.
    enum class Code { Known, Unknown, Inactive };
    using CodeState = std::function<Code(LineField::Kind kind, const QString &code)>;
    static QStringList checkCodes(const QList<ContractLine> &lines, const CodeState &state);

    // The pieces of a contract in production: the most any department of its
    // progress record received or passed on, or its steps of one process code
    // gave out; and per line (scond_id) what its own scans moved, with the
    // lines whose scans still stand.
    struct Progress
    {
        Decimal contract;
        QMap<long long, Decimal> linePieces;
        QSet<long long> scanned;
    };
    // A line whose pieces are in production is not deleted and its quantity not
    // put below them; the lines of the contract together keep at least the
    // contract's pieces in production when a line is deleted or lessened.
    static QStringList checkProgress(const QString &scno, const QList<ContractLine> &lines, const Progress &progress);

    // What the rights of the sales contracts allow: 增加 a new contract and
    // new lines, 修改 changing the header and lines, 删除 deleting lines.
    static QStringList checkRights(bool newContract, bool headerChanged, const QList<ContractLine> &lines,
                                   Rights rights, const QString &user);
};

} // namespace wip
