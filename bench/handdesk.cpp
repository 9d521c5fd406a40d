#include "handdesk.h"

#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

namespace wip::bench {

namespace {

const QString kFiling = QStringLiteral("04-执模");
const QString kDeskStock = QStringLiteral("04-执模收发");
const QString kNextStock = QStringLiteral("05-镶石收发");
const QString kWorkersStock = QStringLiteral("11-工人在做仓");
const QString kUser = QStringLiteral("CLERK");
const QString kSource = QStringLiteral("bench");

QVariant null() { return QVariant(QMetaType::fromType<QString>()); }
QVariant num(const Decimal &d) { return d.toDouble(); }
QString text(const QVariant &v) { return v.isNull() ? QString() : v.toString().trimmed(); }
Decimal number(const QVariant &v)
{
    return Decimal::fromVariant(fromDbValue(v, ColumnKind::Number)).value_or(Decimal::fromInt(0));
}
Decimal lost(const Decimal &d) { return d - Decimal::fromUnits(10, 3); }
QString desk(const Decimal &pcs, const Decimal &grams)
{
    return QStringLiteral("在执模收发 (%1 件 %2 克)").arg(pcs.toString(), grams.toString());
}

} // namespace

HandDesk::HandDesk(QSqlDatabase db, const QString &worker, const QString &workerName)
    : m_db(db), m_worker(worker), m_workerName(workerName)
{
}

QList<HandDesk::Bag> HandDesk::read(Transaction &tr, const QList<long long> &scondIds)
{
    QList<Bag> bags;
    for (const long long id : scondIds) {
        const auto row = tr.selectInto(
            QStringLiteral("select b.scno, d.line_no, b.note_no, b.moves, t.qtycal, t.qtyref, h.cust_no, h.cust_order, "
                           "h.deldate, d.article_code, d.metal, d.design_no, (select y.arttype_name from article a join "
                           "arttype y on y.arttype_code = a.arttype_code where a.article_code = d.article_code), "
                           "p.process_id, p.filing_in, p.filing_out from bag_place b join scond d on d.scond_id = "
                           "b.scond_id join sconh h on h.scno = b.scno join jcjl_mattran t on t.mattran_no = b.note_no "
                           "and t.scond_id = b.scond_id and t.zt = 'BEGIN' join process p on p.scno = b.scno "
                           "where b.scond_id = ? and b.place = 'transit' and b.next_gongxu = ?"),
            {id, kFiling});
        if (!row)
            continue;
        Bag b;
        b.scno = text(row->at(0));
        b.code = b.scno + QLatin1Char('-') + QString::number(row->at(1).toInt());
        b.scondId = id;
        b.note = text(row->at(2));
        b.moves = row->at(3).toInt();
        b.pcs = number(row->at(4));
        b.grams = number(row->at(5));
        b.custNo = text(row->at(6));
        b.custOrder = text(row->at(7));
        b.delivery = row->at(8).isNull() ? null() : row->at(8);
        b.article = text(row->at(9));
        b.metal = text(row->at(10));
        b.design = text(row->at(11));
        b.product = text(row->at(12));
        b.processId = row->at(13).toLongLong();
        m_filing.insert(b.scno, {number(row->at(14)), number(row->at(15))});
        bags.append(b);
    }
    return bags;
}

bool HandDesk::run(const QString &sql, const QVariantList &values, int expectRows)
{
    QSqlQuery q(m_db);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return false;
    }
    if (expectRows >= 0 && q.numRowsAffected() != expectRows) {
        m_error = QStringLiteral("%1 rows instead of %2 [%3]").arg(q.numRowsAffected()).arg(expectRows).arg(sql.left(80));
        return false;
    }
    if (sql.startsWith(QLatin1String("insert into proch ")))
        m_stepId = q.lastInsertId().toLongLong();
    return true;
}

bool HandDesk::begin()
{
    QDateTime now = QDateTime::currentDateTime();
    m_now = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    return run(QStringLiteral("BEGIN IMMEDIATE"), {});
}

bool HandDesk::commit()
{
    if (run(QStringLiteral("COMMIT"), {}))
        return true;
    run(QStringLiteral("ROLLBACK"), {});
    return false;
}

QString HandDesk::sheet(const Bag &bag) const
{
    return QStringLiteral("%1/%2").arg(bag.code).arg(bag.moves);
}

// place: place, gongxu_code, next_gongxu, changhao, xingming, note_no.
bool HandDesk::bagPlace(const Bag &bag, const QVariantList &place, const Decimal &pcs, const Decimal &grams)
{
    return run(QStringLiteral("update bag_place set scno = ?, place = ?, gongxu_code = ?, next_gongxu = ?, changhao = ?, "
                              "xingming = ?, note_no = ?, pcs = ?, weight = ?, moves = ?, ldate = ?, opername = ? "
                              "where scond_id = ?"),
               QVariantList{bag.scno} + place + QVariantList{num(pcs), num(grams), bag.moves, m_now, kUser, bag.scondId},
               1);
}

bool HandDesk::audit(const Bag &bag, const QString &field, const QVariant &before, const QVariant &after)
{
    return run(QStringLiteral("insert into audit_log (changed_at, user_code, source, scno, scond_id, field, old_value, "
                              "new_value) values (?, ?, ?, ?, ?, ?, ?, ?)"),
               {m_now, kUser, kSource, bag.scno, bag.scondId, field, before, after});
}

bool HandDesk::receive(Bag &bag)
{
    if (!begin())
        return false;
    ++bag.moves;
    const bool ok =
        run(QStringLiteral("update jcjl_mattran set zt = 'FINISH', fpcs = ?, fweight = ?, modifyname = ? where "
                           "mattran_no = ? and scond_id = ? and zt = 'BEGIN'"),
            {num(bag.pcs), num(bag.grams), kUser, bag.note, bag.scondId}, 1)
        && run(QStringLiteral("insert into proch_new (scno, gongxu_code, changhao, xingming, sttime, edtime, qty, weight, "
                              "wsheetno, scond_id) values (?, ?, '', '', ?, ?, ?, ?, ?, ?)"),
               {bag.scno, kFiling, m_now, null(), num(bag.pcs), num(bag.grams), null(), bag.scondId})
        && bagPlace(bag, QVariantList{QStringLiteral("desk"), kFiling, null(), null(), null(), null()}, bag.pcs, bag.grams)
        && audit(bag, QStringLiteral("desk:receive"), null(),
                 QStringLiteral("袋卡 %1: 执模接收 %2 件 %3 克 (转料单 %4)").arg(bag.code, bag.pcs.toString(),
                                                                             bag.grams.toString(), bag.note))
        && audit(bag, QStringLiteral("bag:place"), QStringLiteral("在途: 倒模 → 执模"), desk(bag.pcs, bag.grams));
    return ok ? commit() : (run(QStringLiteral("ROLLBACK"), {}), false);
}

bool HandDesk::issue(Bag &bag)
{
    if (!begin())
        return false;
    ++bag.moves;
    const QString s = sheet(bag);
    const QVariant zero = 0;
    bool ok = run(QStringLiteral("insert into proch (scno, gongxu_code, changhao, xingming, sttime, edtime, qty, wsheetno, "
                                 "opername, memo, scond_id) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                  {bag.scno, kFiling, m_worker, m_workerName, m_now, null(), num(bag.pcs), s, kUser, null(), bag.scondId});
    const long long step = m_stepId;
    ok = ok
        && run(QStringLiteral("insert into proch_new (scno, gongxu_code, changhao, xingming, sttime, edtime, qty, weight, "
                              "wsheetno, scond_id) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {bag.scno, kFiling, m_worker, m_workerName, m_now, null(), num(bag.pcs), num(bag.grams), s, bag.scondId})
        && run(QStringLiteral("insert into matuse (proch_id, scno, gongxu_code, changhao, mcode, waycode, sqtycal, "
                              "sqtyref) values (?, ?, ?, ?, ?, ?, ?, ?)"),
               {step, bag.scno, kFiling, m_worker, bag.metal, null(), num(bag.grams), num(bag.pcs)})
        && run(QStringLiteral("insert into work_report (scno, gongxu, changhao, xingming, wsheetno, cust, article_code, "
                              "product_name, metal, mcode, del_date, fin_date, ldate, sdata, zt, iss_pcs, iss_weight, "
                              "fin_pcs, fin_weight, pen_pcs, pen_weight, ret_weight, loss, bz, scond_id) values (?, ?, ?, "
                              "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'PEN', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {bag.scno, kFiling, m_worker, m_workerName, s, bag.custNo, bag.article, bag.product, bag.metal, bag.metal,
                bag.delivery, null(), m_now, m_now, num(bag.pcs), num(bag.grams), zero, zero, num(bag.pcs),
                num(bag.grams), zero, zero, null(), bag.scondId})
        && run(QStringLiteral("insert into work_wip (worksheet, scno, gongxu_code, changhao, xingming, name, cust_no, pcs, "
                              "weight, sttime, deltime, bz) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {s, bag.scno, kFiling, m_worker, m_workerName, bag.product, bag.custNo, num(bag.pcs), num(bag.grams),
                m_now, bag.delivery, null()})
        && run(QStringLiteral("insert into jcjl_mattran (mattran_no, scno, ldate, zt, fcode, tcode, mcode, zmcode, metal, "
                              "qtycal, qtyref, gonghao, name, client_no, custom, product_name, style_no, inputname, "
                              "scond_id) values (?, ?, ?, 'BEGIN', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {s, bag.scno, m_now, kDeskStock, kWorkersStock, bag.metal, QString(bag.metal + QStringLiteral("原料WIP")), bag.metal,
                num(bag.pcs), num(bag.grams), m_worker, m_workerName, bag.custNo, bag.custOrder, bag.product, bag.design,
                kUser, bag.scondId})
        && run(QStringLiteral("update proch_new set edtime = ? where scond_id = ? and gongxu_code = ? and "
                              "coalesce(changhao, '') = '' and edtime is null"),
               {m_now, bag.scondId, kFiling}, 1)
        && bagPlace(bag, QVariantList{QStringLiteral("worker"), kFiling, null(), m_worker, m_workerName, s}, Decimal::fromInt(0),
                    Decimal::fromInt(0))
        && audit(bag, QStringLiteral("desk:issue"), null(),
                 QStringLiteral("袋卡 %1: 执模发出 %2 件 %3 克 给工人 %4 %5 (工单 %6)")
                     .arg(bag.code, bag.pcs.toString(), bag.grams.toString(), m_worker, m_workerName, s))
        && audit(bag, QStringLiteral("bag:place"), desk(bag.pcs, bag.grams),
                 QStringLiteral("在执模工人 %1 %2 手中").arg(m_worker, m_workerName));
    bag.note = s;
    m_stepId = step;
    return ok ? commit() : (run(QStringLiteral("ROLLBACK"), {}), false);
}

bool HandDesk::takeBack(Bag &bag)
{
    if (!begin())
        return false;
    ++bag.moves;
    const Decimal back = lost(bag.grams);
    const Decimal loss = bag.grams - back;
    const bool ok =
        run(QStringLiteral("update proch set qty = ?, edtime = ? where proch_id = ?"), {num(bag.pcs), m_now, m_stepId}, 1)
        && run(QStringLiteral("update proch_new set qty = ?, weight = ?, edtime = ? where wsheetno = ? and scond_id = ? "
                              "and edtime is null"),
               {num(bag.pcs), num(bag.grams), m_now, bag.note, bag.scondId}, 1)
        && run(QStringLiteral("update matuse set sqtycal = ?, sqtyref = ? where proch_id = ? and mcode = ?"),
               {num(bag.grams), num(bag.pcs), m_stepId, bag.metal}, 1)
        && run(QStringLiteral("update work_report set zt = 'FIN', iss_pcs = ?, iss_weight = ?, fin_pcs = ?, fin_weight = ?, "
                              "pen_pcs = ?, pen_weight = ?, ret_weight = ?, loss = ?, fin_date = ?, ldate = ? where "
                              "wsheetno = ? and scond_id = ? and zt = 'PEN'"),
               {num(bag.pcs), num(bag.grams), num(bag.pcs), num(back), 0, 0, 0, num(loss), m_now, m_now, bag.note,
                bag.scondId},
               1)
        && run(QStringLiteral("update jcjl_mattran set zt = 'FINISH', qtycal = ?, qtyref = ?, fpcs = ?, fweight = ?, "
                              "freturn = ?, loss = ?, ldate = ?, modifyname = ? where mattran_no = ? and zt = 'BEGIN' and "
                              "tcode = ?"),
               {num(bag.pcs), num(bag.grams), num(bag.pcs), num(back), 0, num(loss), m_now, kUser, bag.note, kWorkersStock},
               1)
        && run(QStringLiteral("delete from work_wip where worksheet = ?"), {bag.note}, 1)
        && run(QStringLiteral("insert into proch_new (scno, gongxu_code, changhao, xingming, sttime, edtime, qty, weight, "
                              "wsheetno, scond_id) values (?, ?, '', '', ?, ?, ?, ?, ?, ?)"),
               {bag.scno, kFiling, m_now, null(), num(bag.pcs), num(back), null(), bag.scondId})
        && bagPlace(bag, QVariantList{QStringLiteral("desk"), kFiling, null(), null(), null(), null()}, bag.pcs, back)
        && audit(bag, QStringLiteral("desk:return"), null(),
                 QStringLiteral("袋卡 %1: 执模收回 工人 %2 %3 完成 %4 件 %5 克, 回料 0.000 克, 耗 %6 克")
                     .arg(bag.code, m_worker, m_workerName, bag.pcs.toString(), back.toString(), loss.toString()))
        && audit(bag, QStringLiteral("bag:place"), QStringLiteral("在执模工人 %1 %2 手中").arg(m_worker, m_workerName),
                 desk(bag.pcs, back));
    bag.grams = back;
    return ok ? commit() : (run(QStringLiteral("ROLLBACK"), {}), false);
}

// The progress record as the desk's pass-on scan writes it: 执模's pieces out
// and 镶石's in, 镶石's date, and 执模's date when it had nothing in work.
bool HandDesk::passOn(Bag &bag)
{
    if (!begin())
        return false;
    ++bag.moves;
    const QString note = sheet(bag);
    auto &[in, out] = m_filing[bag.scno];
    const Decimal after = out + bag.pcs;
    const bool idle = in == out;
    bool ok = run(idle ? QStringLiteral("update process set filing_out = ?, setting_in = ?, setting_date = ?, "
                                        "filing_date = ? where process_id = ?")
                       : QStringLiteral("update process set filing_out = ?, setting_in = ?, setting_date = ? "
                                        "where process_id = ?"),
                  idle ? QVariantList{num(after), num(after), m_now, m_now, bag.processId}
                       : QVariantList{num(after), num(after), m_now, bag.processId},
                  1)
        && audit(bag, QStringLiteral("setting_in"), out.toString(), after.toString())
        && audit(bag, QStringLiteral("filing_out"), out.toString(), after.toString())
        && (!idle || audit(bag, QStringLiteral("filing_date"), null(), m_now))
        && audit(bag, QStringLiteral("setting_date"), null(), m_now)
        && audit(bag, QStringLiteral("scan:filing_out"), null(), bag.code)
        && run(QStringLiteral("insert into jcjl_mattran (mattran_no, scno, ldate, zt, fcode, tcode, mcode, zmcode, metal, "
                              "qtycal, qtyref, gonghao, name, client_no, custom, product_name, style_no, inputname, "
                              "scond_id) values (?, ?, ?, 'BEGIN', ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {note, bag.scno, m_now, kDeskStock, kNextStock, bag.metal, QString(bag.metal + QStringLiteral("原料WIP")), bag.metal,
                num(bag.pcs), num(bag.grams), null(), null(), bag.custNo, bag.custOrder, bag.product, bag.design, kUser,
                bag.scondId})
        && run(QStringLiteral("update proch_new set edtime = ? where scond_id = ? and gongxu_code = ? and "
                              "coalesce(changhao, '') = '' and edtime is null"),
               {m_now, bag.scondId, kFiling}, 1)
        && bagPlace(bag, QVariantList{QStringLiteral("transit"), kFiling, QStringLiteral("06-镶石"), null(), null(), note},
                    Decimal::fromInt(0), Decimal::fromInt(0))
        && audit(bag, QStringLiteral("desk:pass"), null(),
                 QStringLiteral("袋卡 %1: 执模转出 %2 件 %3 克 到镶石 (转料单 %4)")
                     .arg(bag.code, bag.pcs.toString(), bag.grams.toString(), note))
        && audit(bag, QStringLiteral("bag:place"), desk(bag.pcs, bag.grams), QStringLiteral("在途: 执模 → 镶石"));
    if (ok)
        out = after;
    bag.note = note;
    return ok ? commit() : (run(QStringLiteral("ROLLBACK"), {}), false);
}

} // namespace wip::bench
