#include "desk/reversalrows.h"

#include "desk/deskvalues.h"
#include "desk/deskdepartment.h"
#include "desk/deskinput.h"
#include "runtime/cursor.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

namespace wip {

namespace {

using deskvalues::number;
using deskvalues::count;
using deskvalues::grams;
using deskvalues::kWorkersStock;

// A value read as the kind says, ready to be bound again.
QVariant typed(const QVariant &value, char kind)
{
    switch (kind) {
    case 'n':
        return value.isNull() ? Decimal::null() : number(value).toVariant();
    case 'd':
        return value.isNull() ? QVariant(QMetaType::fromType<QDateTime>()) : fromDbValue(value, ColumnKind::DateTime);
    case 'i':
        return value.isNull() ? QVariant(QMetaType::fromType<qlonglong>()) : QVariant(value.toLongLong());
    default:
        return value.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(value.toString());
    }
}

} // namespace

QString ReversalRows::TakenBack::describe() const
{
    QString text = QStringLiteral("工单 %1 工人 %2: 收回 %3 件 %4 克, 回料 %5 克")
                       .arg(sheet, QString(changhao + QLatin1Char(' ') + xingming).trimmed(), count(finPcs),
                            grams(finWeight), grams(returned));
    if (!backPcs.isZero() || !backWeight.isZero())
        text += QStringLiteral(", 退回收发 %1 件 %2 克").arg(count(backPcs), grams(backWeight));
    return text + QStringLiteral(", 耗 %1 克 (发出 %2 件 %3 克)").arg(grams(loss), count(issPcs), grams(issWeight));
}

ReversalRows::ReversalRows(Transaction &tr, const BagTicket &bag, const QString &user, const QDateTime &now,
                           const QString &memo)
    : m_tr(tr), m_bag(bag), m_user(user), m_now(now), m_memo(memo)
{
}

QString ReversalRows::memoPrefix()
{
    return QStringLiteral("冲销: ");
}

bool ReversalRows::run(const QString &sql, const QVariantList &values)
{
    if (m_tr.execute(sql, values))
        return true;
    m_error = m_tr.sqlErrText;
    return false;
}

std::optional<ReversalRows::TakenBack> ReversalRows::takenBack(const QString &gongxu, const QDateTime &at)
{
    m_error.clear();
    const auto row = m_tr.selectInto(
        QStringLiteral("select lsh, wsheetno, changhao, xingming, iss_pcs, iss_weight, fin_pcs, fin_weight, "
                       "ret_weight, loss, back_pcs, back_weight from work_report where scond_id = ? and gongxu = ? "
                       "and zt = 'FIN' and ldate = ? and coalesce(bz, '') not like ? order by lsh desc"),
        {m_bag.scondId, gongxu, at, QString(memoPrefix() + QLatin1Char('%'))});
    if (!row) {
        if (m_tr.sqlCode != 100)
            m_error = m_tr.sqlErrText;
        return std::nullopt;
    }
    TakenBack t;
    t.lineId = row->at(0).toLongLong();
    t.sheet = row->at(1).toString().trimmed();
    t.changhao = row->at(2).toString().trimmed();
    t.xingming = row->at(3).toString().trimmed();
    t.at = at;
    t.issPcs = number(row->at(4));
    t.issWeight = number(row->at(5));
    t.finPcs = number(row->at(6));
    t.finWeight = number(row->at(7));
    t.returned = number(row->at(8));
    t.loss = number(row->at(9));
    t.backPcs = number(row->at(10));
    t.backWeight = number(row->at(11));
    return t;
}

bool ReversalRows::copyRows(const QString &table, const QStringList &columns, const char *kinds,
                            const QStringList &negate, const QVariantHash &set, const QString &where,
                            const QVariantList &values, int expect)
{
    QList<QVariantList> rows;
    {
        Cursor cursor(m_tr, QStringLiteral("select %1 from %2 where %3").arg(columns.join(QStringLiteral(", ")), table, where),
                      values);
        if (!cursor.open()) {
            m_error = m_tr.sqlErrText;
            return false;
        }
        while (const std::optional<QVariantList> row = cursor.fetch()) {
            QVariantList copy;
            for (qsizetype i = 0; i < columns.size(); ++i) {
                const QString &c = columns.at(i);
                if (set.contains(c))
                    copy << set.value(c);
                else if (negate.contains(c))
                    copy << (row->at(i).isNull() ? Decimal::null() : (-number(row->at(i))).toVariant());
                else
                    copy << typed(row->at(i), kinds[i]);
            }
            rows << copy;
        }
        if (m_tr.sqlCode < 0) {
            m_error = m_tr.sqlErrText;
            return false;
        }
        cursor.close();
    }
    if (expect >= 0 && rows.size() != expect) {
        m_error = QStringLiteral("%1 rows of %2 instead of %3").arg(rows.size()).arg(table).arg(expect);
        return false;
    }
    const QString insert = QStringLiteral("insert into %1 (%2) values (%3)")
                               .arg(table, columns.join(QStringLiteral(", ")),
                                    QStringList(columns.size(), QStringLiteral("?")).join(QStringLiteral(", ")));
    for (const QVariantList &r : rows) {
        if (!run(insert, r))
            return false;
    }
    return true;
}

namespace {

const QStringList kTransferColumns{"mattran_no", "scno",   "ldate",   "zt",        "fcode",     "tcode",   "mcode",
                                   "zmcode",     "metal",  "qtycal",  "qtyref",    "fpcs",      "fweight", "freturn",
                                   "loss",       "gonghao", "name",   "client_no", "custom",    "product_name",
                                   "style_no",   "inputname", "modifyname", "scond_id", "fdate"};
const char *const kTransferKinds = "ttdttttttnnnnnnttttttttid";
const QStringList kTransferFigures{"qtycal", "qtyref", "fpcs", "fweight", "freturn", "loss"};
// A step (proch) as a cancelling copy takes it, and its material (matuse).
const QStringList kStepColumns{"scno", "gongxu_code", "changhao", "xingming", "sttime", "edtime",
                               "qty",  "wsheetno",    "opername", "memo",     "scond_id"};
const char *const kStepKinds = "ttttddnttti";
const QStringList kMaterialColumns{"proch_id", "scno", "gongxu_code", "changhao", "mcode", "waycode", "sqtycal", "sqtyref"};
const char *const kMaterialKinds = "itttttnn";

} // namespace

bool ReversalRows::cancelSent(const QString &note)
{
    if (!run(QStringLiteral("update jcjl_mattran set zt = 'FINISH', fpcs = qtycal, fweight = qtyref, fdate = ?, "
                            "modifyname = ? where mattran_no = ? and scond_id = ? and zt = 'BEGIN'"),
             {m_now, m_user, note, m_bag.scondId}))
        return false;
    if (m_tr.sqlNRows != 1) {
        m_error = QStringLiteral("transfer %1 is not under way").arg(note);
        return false;
    }
    return copyRows(QStringLiteral("jcjl_mattran"), kTransferColumns, kTransferKinds, kTransferFigures,
                    {{"ldate", m_now}, {"fdate", m_now}, {"inputname", m_user}, {"modifyname", m_user}},
                    QStringLiteral("mattran_no = ? and scond_id = ? and zt = 'FINISH' and fdate = ? and qtycal > 0"),
                    {note, m_bag.scondId, m_now}, 1);
}

bool ReversalRows::reopenReceived(const QString &note, const QDateTime &at)
{
    const QString received = QStringLiteral("mattran_no = ? and scond_id = ? and zt = 'FINISH' and fdate = ? "
                                            "and qtycal > 0");
    const QVariantList which{note, m_bag.scondId, at};
    const QVariant noDate(QMetaType::fromType<QDateTime>());
    return copyRows(QStringLiteral("jcjl_mattran"), kTransferColumns, kTransferKinds, kTransferFigures,
                    {{"ldate", m_now}, {"fdate", m_now}, {"inputname", m_user}, {"modifyname", m_user}}, received,
                    which, 1)
        && copyRows(QStringLiteral("jcjl_mattran"), kTransferColumns, kTransferKinds, {},
                    {{"ldate", m_now}, {"fdate", noDate}, {"zt", QStringLiteral("BEGIN")}, {"fpcs", Decimal::null()},
                     {"fweight", Decimal::null()}, {"freturn", Decimal::null()}, {"loss", Decimal::null()},
                     {"inputname", m_user}, {"modifyname", QVariant(QMetaType::fromType<QString>())}},
                    received, which, 1);
}

bool ReversalRows::cancelOutsideStep(const QString &note, const QDateTime &closedAt)
{
    const QString outside = DeskDepartment::outside().gongxu;
    if (closedAt.isNull()) {
        if (!run(QStringLiteral("update proch set edtime = ? where wsheetno = ? and scond_id = ? and gongxu_code = ? "
                                "and edtime is null"),
                 {m_now, note, m_bag.scondId, outside}))
            return false;
        if (m_tr.sqlNRows != 1) {
            m_error = QStringLiteral("the outside step of transfer %1 is not open").arg(note);
            return false;
        }
    }
    return copyRows(QStringLiteral("proch"), kStepColumns, kStepKinds, {"qty"},
                    {{"sttime", m_now}, {"edtime", m_now}, {"opername", m_user},
                     {"memo", QString(memoPrefix() + m_memo)}},
                    QStringLiteral("wsheetno = ? and scond_id = ? and gongxu_code = ? and edtime = ? and qty > 0"),
                    {note, m_bag.scondId, outside, closedAt.isNull() ? m_now : closedAt}, 1);
}

bool ReversalRows::cancelCastStep(const QString &batch, const QDateTime &at)
{
    const QString casting = QStringLiteral("03-倒模");
    const QString step = QStringLiteral("wsheetno = ? and scond_id = ? and gongxu_code = ? and memo = '铸造批' "
                                        "and edtime = ? and coalesce(qty, 0) >= 0");
    const auto id = m_tr.selectInto(QStringLiteral("select max(proch_id) from proch where ") + step,
                                    {batch, m_bag.scondId, casting, at});
    if (!id || id->at(0).isNull()) {
        m_error = m_tr.sqlErrText.isEmpty() ? QStringLiteral("the step of casting batch %1 is not there").arg(batch)
                                            : m_tr.sqlErrText;
        return false;
    }
    if (!copyRows(QStringLiteral("proch"), kStepColumns, kStepKinds, {"qty"},
                  {{"sttime", m_now}, {"edtime", m_now}, {"opername", m_user}},
                  QStringLiteral("proch_id = ?"), {id->at(0).toLongLong()}, 1))
        return false;
    const auto cancel = m_tr.selectInto(QStringLiteral("select max(proch_id) from proch where wsheetno = ? and "
                                                       "scond_id = ? and gongxu_code = ? and qty < 0"),
                                        {batch, m_bag.scondId, casting});
    if (!cancel || cancel->at(0).isNull()) {
        m_error = m_tr.sqlErrText.isEmpty() ? QStringLiteral("the cancelling step is not there") : m_tr.sqlErrText;
        return false;
    }
    return copyRows(QStringLiteral("matuse"), kMaterialColumns, kMaterialKinds, {"sqtycal", "sqtyref"}, {{"proch_id", cancel->at(0).toLongLong()}},
                    QStringLiteral("proch_id = ?"), {id->at(0).toLongLong()}, -1);
}

bool ReversalRows::cancelCastingLines(const QString &batch, const QDateTime &at)
{
    return copyRows(QStringLiteral("castind"),
                    {"castinh_no", "contractno", "mcode", "hcode", "lotno", "ldate", "qtycal", "qtyref", "loss",
                     "puwithloss"},
                    "tttttdnnnn", {"qtycal", "qtyref", "loss", "puwithloss"}, {{"ldate", m_now}},
                    QStringLiteral("castinh_no = ? and ldate = ? and coalesce(qtyref, 0) >= 0"), {batch, at}, -1);
}

bool ReversalRows::cancelTakeBack(const QString &gongxu, const TakenBack &t)
{
    const QVariant memo = QString(memoPrefix() + m_memo);
    // The line: every figure the take-back settled, negated.
    const QStringList lineColumns{"scno",     "gongxu",     "changhao",   "xingming",   "wsheetno",  "cust",
                                  "article_code", "product_name", "metal", "mcode",      "del_date",  "fin_date",
                                  "ldate",    "sdata",      "zt",         "iss_pcs",    "iss_weight", "fin_pcs",
                                  "fin_weight", "pen_pcs",  "pen_weight", "ret_weight", "loss",      "back_pcs",
                                  "back_weight", "bz",      "scond_id"};
    const QVariantHash lineSet{{"fin_date", m_now}, {"ldate", m_now}, {"sdata", m_now}, {"bz", memo},
                               {"zt", QStringLiteral("FIN")}};
    if (!copyRows(QStringLiteral("work_report"), lineColumns, "ttttttttttddddtnnnnnnnnnnti",
                  {"iss_pcs", "iss_weight", "fin_pcs", "fin_weight", "pen_pcs", "pen_weight", "ret_weight", "loss",
                   "back_pcs", "back_weight"},
                  lineSet, QStringLiteral("lsh = ?"), {t.lineId}, 1))
        return false;

    // The step the take-back finished, and its material, cancelled by a step finished now.
    const auto step = m_tr.selectInto(QStringLiteral("select max(proch_id) from proch where wsheetno = ? and scond_id = ? "
                                                     "and gongxu_code = ? and edtime = ?"),
                                      {t.sheet, m_bag.scondId, gongxu, t.at});
    if (!step || step->at(0).isNull()) {
        m_error = m_tr.sqlErrText.isEmpty() ? QStringLiteral("the step of sheet %1 taken back is not there").arg(t.sheet)
                                            : m_tr.sqlErrText;
        return false;
    }
    const long long settledStep = step->at(0).toLongLong();
    if (!copyRows(QStringLiteral("proch"), kStepColumns, kStepKinds, {"qty"},
                  {{"sttime", m_now}, {"edtime", m_now}, {"opername", m_user}, {"memo", memo}},
                  QStringLiteral("proch_id = ?"), {settledStep}, 1))
        return false;
    const auto cancel = m_tr.selectInto(QStringLiteral("select max(proch_id) from proch where wsheetno = ? and "
                                                       "scond_id = ? and memo = ?"),
                                        {t.sheet, m_bag.scondId, memo});
    if (!cancel || cancel->at(0).isNull()) {
        m_error = m_tr.sqlErrText.isEmpty() ? QStringLiteral("the cancelling step is not there") : m_tr.sqlErrText;
        return false;
    }
    if (!copyRows(QStringLiteral("matuse"), kMaterialColumns, kMaterialKinds, {"sqtycal", "sqtyref"}, {{"proch_id", cancel->at(0).toLongLong()}},
                  QStringLiteral("proch_id = ?"), {settledStep}, -1))
        return false;

    // The worker's transfer as the take-back settled it (fdate the take-back;
    // rows of before fdate carry ldate only).
    const QVariantHash transferSet{{"ldate", m_now}, {"fdate", m_now}, {"inputname", m_user}, {"modifyname", m_user}};
    if (!copyRows(QStringLiteral("jcjl_mattran"), kTransferColumns, kTransferKinds, kTransferFigures, transferSet,
                  QStringLiteral("mattran_no = ? and scond_id = ? and tcode = ? and zt = 'FINISH' and "
                                 "coalesce(fdate, ldate) = ?"),
                  {t.sheet, m_bag.scondId, kWorkersStock, t.at}, -1))
        return false;

    return t.returned.isZero()
        || copyRows(QStringLiteral("flreturn"),
                    {"wsheetno", "scno", "gongxu_code", "changhao", "client", "mcode", "zmcode", "pcs", "weight", "ldate"},
                    "tttttttnnd", {"pcs", "weight"}, {{"ldate", m_now}},
                    QStringLiteral("wsheetno = ? and scno = ? and gongxu_code = ? and ldate = ?"),
                    {t.sheet, m_bag.scno, gongxu, t.at}, -1);
}

} // namespace wip
