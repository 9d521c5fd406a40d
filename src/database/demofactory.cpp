#include "database/demofactory.h"

#include "database/batchinserter.h"
#include "database/democatalogue.h"
#include "database/rightscatalogue.h"
#include "database/passwordhash.h"
#include "database/schema.h"
#include "runtime/sqlvalue.h"

#include <QSqlError>
#include <QSet>
#include <QSqlQuery>
#include <cmath>

namespace wip {

using namespace demo;

namespace {

constexpr quint32 kSeed = 20041207;     // fixed: the demo factory is the same on every run
constexpr int kContractsPerScale = 800; // about 10 000 proch rows per scale unit

} // namespace

DemoFactory::DemoFactory(QSqlDatabase db, DbKind kind, QDate today, int scale)
    : m_db(db), m_kind(kind), m_today(today.isValid() ? today : QDate::currentDate()),
      m_scale(scale), m_rng(kSeed)
{
}

QStringList DemoFactory::designNumbers()
{
    QStringList list;
    for (int d = 0; d < kDesigns; ++d)
        list << designNo(d);
    return list;
}

// Wall-clock times are written as UTC date-times: the stored text is the same, and
// no local midnight can fall into a daylight-saving gap and become invalid (NULL).
QDateTime DemoFactory::day(int offset, int hour, int minute) const
{
    return QDateTime(m_today.addDays(offset), QTime(hour, minute), Qt::UTC);
}

bool DemoFactory::finish(BatchInserter &inserter)
{
    if (inserter.flush())
        return true;
    m_error = inserter.error();
    return false;
}

bool DemoFactory::run()
{
    // Beyond the largest scale the counts of rows no longer fit their numbers.
    if (m_scale < 1 || m_scale > maxScale) {
        m_error = QStringLiteral("the demo scale %1 is outside 1 to %2").arg(m_scale).arg(maxScale);
        return false;
    }
    return writeReferenceData() && writeContracts() && writeUsers() && writeAuditTrail() && resyncSequences();
}

// The tables the contracts are written to, and the running keys.
struct DemoFactory::Tables
{
    std::unique_ptr<BatchInserter> sconh, scond, process, proch, prochNew, matuse, castind, cumind, mattran,
        workReport, flreturn, workWip, stonein, stissdate, wipFinish, wipIss, wipReturn, bagPlace;
    std::unique_ptr<BatchInserter> spl[4];
    long long scondId = 0, prochId = 0, castindId = 0, lsh = 0, sheet = 0, note = 0;

    QString nextSheet() { return QStringLiteral("WS%1").arg(++sheet, 7, 10, QLatin1Char('0')); }
};

// One demo contract: what it orders and when its departments worked on it.
//
// The departments of the chain (wax ... shipping) finish one after the other, each
// on a day of its own (finishDay), the last finished one `lastDone` days ago, all
// within working hours: mornings only today (the demo is made early in the day),
// any hour from 09:00 to 17:00 before. A department starts the day after the one
// before it finished (wax: the day after ordering), at 08:00 and a few minutes per
// worker; the department holding the work now started its open steps the same way.
struct DemoFactory::Contract
{
    int i = 0;
    QString scno, article, design, customer, custOrder, product;
    int d = 0;
    int issOffset = 0, delOffset = 0;
    int stage = 0;           // 0..7: the department holding the work; 8: all done, not invoiced; 9: invoiced
    int lastDone = 0;
    QList<QPair<QString, double>> lineMetal;   // metal, pieces of each line
    long long firstScondId = 0;                 // the lines' keys follow on from it
    double pieces = 0, metalWeight = 0;
    QList<StoneLine> stones;
    double stonesNeeded = 0;

    int finishDay(int k) const
    {
        const int last = qMin(stage, kChainLength) - 1;
        return qMax(issOffset + k + 1, lastDone - (last - k) * 2);
    }
    // Minutes after midnight at which department k finished.
    int finishMinute(int k) const
    {
        return finishDay(k) == 0 ? 8 * 60 + 40 + (i * 7 + k * 11) % 100 : 9 * 60 + (i * 37 + k * 53) % 480;
    }
    int startDay(int k) const
    {
        return k == 0 ? issOffset + 1 : qMin(0, finishDay(k - 1) + 1);
    }
    // Minutes after midnight at which worker w (or the desk, w 6) took up department
    // k's work: after the morning's finishes when the department before finished today.
    int startMinute(int k, int w) const
    {
        const bool afterToday = k > 0 && finishDay(k - 1) == 0;
        return (afterToday ? 11 * 60 : 8 * 60) + w * 5;
    }
};

QDateTime DemoFactory::at(int offset, int minute) const
{
    return day(offset).addSecs(qint64(minute) * 60);
}

bool DemoFactory::writeContracts()
{
    auto make = [this](const char *table, std::initializer_list<const char *> columns) {
        QStringList c;
        for (const char *name : columns)
            c << QString::fromLatin1(name);
        return std::make_unique<BatchInserter>(m_db, m_kind, QString::fromLatin1(table), c);
    };
    Tables t;
    t.sconh = make("sconh", {"sconh_id", "scno", "cust_no", "cust_order", "issdate", "deldate", "inv_no", "invdate",
                             "take", "next_line_no"});
    t.scond = make("scond", {"scond_id", "scno", "design_no", "article_code", "metal", "size", "finding", "rhodium",
                             "quantity", "metal_netwt", "hallmark", "remarks", "unit_labprice", "line_no"});
    QStringList processCols;
    for (const ColumnDef &c : Schema::table(QStringLiteral("process"))->columns)
        processCols << c.name;
    t.process = std::make_unique<BatchInserter>(m_db, m_kind, QStringLiteral("process"), processCols);
    t.proch = make("proch", {"proch_id", "scno", "gongxu_code", "changhao", "xingming", "sttime", "edtime", "qty",
                             "wsheetno", "opername", "memo"});
    t.prochNew = make("proch_new", {"scno", "gongxu_code", "changhao", "xingming", "sttime", "edtime", "qty",
                                    "weight", "wsheetno"});
    t.matuse = make("matuse", {"proch_id", "scno", "gongxu_code", "changhao", "mcode", "waycode", "sqtycal",
                               "sqtyref"});
    t.castind = make("castind", {"castind_id", "castinh_no", "contractno", "mcode", "hcode", "lotno", "ldate",
                                 "qtycal", "qtyref", "loss", "puwithloss"});
    t.cumind = make("cumind", {"contractno", "mcode", "qtycal"});
    t.mattran = make("jcjl_mattran",
                     {"mattran_no", "scno", "ldate", "zt", "fcode", "tcode", "mcode", "zmcode", "hcode", "lotno",
                      "metal", "qtycal", "qtyref", "fpcs", "fweight", "freturn", "loss", "gonghao", "name",
                      "client_no", "custom", "product_name", "style_no", "inputname", "modifyname"});
    t.workReport = make("work_report",
                        {"lsh", "scno", "gongxu", "changhao", "xingming", "wsheetno", "cust", "article_code",
                         "product_name", "metal", "mcode", "del_date", "fin_date", "ldate", "sdata", "zt",
                         "iss_pcs", "iss_weight", "fin_pcs", "fin_weight", "pen_pcs", "pen_weight", "ret_weight",
                         "loss", "bz"});
    t.flreturn = make("flreturn", {"wsheetno", "scno", "gongxu_code", "changhao", "client", "mcode", "zmcode",
                                   "pcs", "weight", "ldate"});
    t.workWip = make("work_wip", {"worksheet", "scno", "gongxu_code", "changhao", "xingming", "name", "cust_no",
                                  "pcs", "weight", "sttime", "deltime", "bz"});
    t.stonein = make("stonein", {"scno", "stonein"});
    t.stissdate = make("stissdate", {"scno", "startdate", "latestdate"});
    t.wipFinish = make("wip_finish", {"scno", "cust", "pcs", "weight"});
    t.wipIss = make("wip_iss", {"scno", "cust", "pcs", "weight"});
    t.wipReturn = make("wip_return", {"scno", "cust", "pcs", "weight"});
    t.bagPlace = make("bag_place", {"scond_id", "scno", "place", "gongxu_code", "pcs", "weight", "moves", "ldate", "opername"});
    const char *const splTables[] = {"spl_fil_wipp", "spl_set_wipp", "spl_fin_wipp", "spl_pol_wipp"};
    for (int s = 0; s < 4; ++s)
        t.spl[s] = make(splTables[s], {"scno", "wip", "isshand", "pending"});

    const std::initializer_list<BatchInserter *> all = {
        t.sconh.get(), t.scond.get(), t.process.get(), t.proch.get(), t.prochNew.get(), t.matuse.get(),
        t.castind.get(), t.cumind.get(), t.mattran.get(), t.workReport.get(), t.flreturn.get(), t.workWip.get(),
        t.stonein.get(), t.stissdate.get(), t.wipFinish.get(), t.wipIss.get(), t.wipReturn.get(), t.spl[0].get(),
        t.spl[1].get(), t.spl[2].get(), t.spl[3].get(), t.bagPlace.get()};
    // The first table that failed names the cause (a full disk, say); the work
    // stops there, as every later statement would fail too.
    const auto failed = [this, &all]() {
        const BatchInserter *first = nullptr;
        for (const BatchInserter *b : all) {
            if (!b->error().isEmpty() && (!first || b->failedAt() < first->failedAt()))
                first = b;
        }
        if (first)
            m_error = first->error();
        return first != nullptr;
    };
    const int contracts = m_contracts > 0 ? m_contracts : kContractsPerScale * m_scale;
    for (int i = 0; i < contracts; ++i) {
        const Contract c = writeHeaderAndLines(i, t);
        writeProgress(c, t);
        writeSteps(c, t);
        writeOtherWork(c, t);
        writeTransfers(c, t);
        writeBagPlaces(c, t);
        if (failed())
            return false;
    }
    for (BatchInserter *b : all)
        b->flush();
    return !failed();
}

// The header (ordered before it is due) and the lines: one design in one to three metals.
DemoFactory::Contract DemoFactory::writeHeaderAndLines(int i, Tables &t)
{
    Contract c;
    c.i = i;
    const bool sample = i % 12 == 5;
    c.scno = (sample ? QStringLiteral("S") : QStringLiteral("KC")) + QString::number(2400001 + i);
    c.d = (i * 7 + i / 80) % kDesigns;
    c.article = articleCode(c.d);
    c.design = designNo(c.d);
    c.customer = QString::fromLatin1(kCustomers[i % std::size(kCustomers)]);
    c.custOrder = c.customer + QStringLiteral("-PO") + QString::number(7000 + i);
    c.product = QString::fromUtf8(kArtTypes[c.d % std::size(kArtTypes)].name);
    c.issOffset = -(10 + (i * 13) % 110);
    c.delOffset = c.issOffset + 25 + (i * 17) % 60;
    c.stage = i % 10;
    c.lastDone = -((i / 10) % 8);
    const bool invoiced = c.stage == 9;
    const QVariant null;

    // Lines numbered 1, 2, 3 as made, the header counting on from there.
    const int lines = 1 + i % 3;
    t.sconh->add({i + 1, c.scno, c.customer, c.custOrder, day(c.issOffset), day(c.delOffset),
                  // Not invoiced: NULL, or an empty number as some clerks leave it.
                  invoiced ? QVariant(QStringLiteral("INV%1").arg(50000 + i))
                           : c.stage == 8 ? QVariant(QStringLiteral("")) : null,
                  invoiced ? QVariant(day(c.lastDone)) : QVariant(QMetaType::fromType<QDateTime>()), 0,
                  lines + 1});

    c.firstScondId = t.scondId + 1;
    for (int l = 0; l < lines; ++l) {
        const Metal &m = kMetals[(i + l) % std::size(kMetals)];
        const double q = 6 + m_rng.bounded(60);
        const double wt = r3(q * pieceWeight(c.d));
        c.pieces += q;
        c.metalWeight += wt;
        c.lineMetal.append({QString::fromUtf8(m.code), q});
        t.scond->add({++t.scondId, c.scno, c.design, c.article, QString::fromUtf8(m.code),
                      QString::number(5 + (i + l) % 12), l % 2 ? QStringLiteral("耳迫") : QString(),
                      (l + i) % 3 == 0 ? QStringLiteral("白金电") : QString(), q, wt,
                      QString(QString::fromUtf8(m.hallmark) + QLatin1Char(' ') + c.customer),
                      i % 4 == 0 ? QStringLiteral("客人要求加急 rush order") : QStringLiteral("按样板做"),
                      r3(12.5 + (c.d % 7) * 3.75 + m_rng.bounded(100) / 40.0), l + 1});
    }
    c.stones = stonesOf(c.d);
    for (const StoneLine &s : c.stones)
        c.stonesNeeded += s.perPiece * c.pieces;
    return c;
}

// The progress record, stamped as the progress form stamps it: a department's date
// when the one before passed the work on, and again when it passed all of it on.
void DemoFactory::writeProgress(const Contract &c, Tables &t)
{
    const int stage = c.stage;
    const double stonesIssued = stage > 3 ? c.stonesNeeded : stage == 3 ? std::floor(c.stonesNeeded / 2) : 0;
    const double stonesIn = stage >= 3 ? c.stonesNeeded : (c.i % 3 == 0 ? 0 : std::floor(c.stonesNeeded * 0.6));
    if (c.stonesNeeded > 0) {
        t.stonein->add({c.scno, stonesIn});
        t.stissdate->add({c.scno, day(c.issOffset + 3), day(qMin(0, c.issOffset + 20))});
    }
    QVariantList prog{c.i + 1, c.scno};
    for (int k = 0; k < 7; ++k)
        prog << (stage >= k ? c.pieces : 0.0) << (stage > k ? c.pieces : 0.0);
    prog << c.stonesNeeded << stonesIssued;
    const double goldIn = r3(c.metalWeight * 1.08);
    prog << goldIn << (stage >= 8 ? goldIn : r3(goldIn * 0.55));
    for (int k = 0; k < 7; ++k) {
        if (stage > k)
            prog << at(c.finishDay(k), c.finishMinute(k));
        else if (stage == k && k > 0)
            prog << at(c.finishDay(k - 1), c.finishMinute(k - 1));
        else
            prog << QVariant(QMetaType::fromType<QDateTime>());
    }
    const bool delayed = stage < 8 && c.i % 5 == 1;
    const int reason = (c.i / 5) % 9;
    prog << (delayed ? QVariant(QString::number(reason + 1)) : QVariant())
         << (delayed ? QVariant(QString::fromUtf8(kReasons[reason])) : QVariant());
    // In the table's column order: id, scno, the in/out pairs of wax .. rhodium,
    // qc and gold, the seven dates, remark, bz.
    t.process->add(prog);
}

// Process steps, department by department, with the material they used and the
// worker sheets of filing to polishing.
void DemoFactory::writeSteps(const Contract &c, Tables &t)
{
    const int i = c.i;
    const QVariant null;
    const QVariant nullDate(QMetaType::fromType<QDateTime>());
    const int lastStage = qMin(c.stage, kChainLength - 1);
    for (int k = 0; k <= lastStage; ++k) {
        const bool done = k < c.stage;
        const int workers = 1 + (i + k) % 4;
        const QString gx = QString::fromUtf8(kChain[k].gongxu);
        double left = c.pieces;
        for (int w = 0; w < workers; ++w) {
            const double q = w == workers - 1 ? left : std::floor(c.pieces / workers);
            left -= q;
            if (q <= 0)
                continue;
            const int workerNo = (i + w * 3 + k) % kWorkersPerDepartment;
            const QString changhao = workerNumber(k, workerNo);
            // Now and then a desk leaves the name off a step; the worker table has it.
            const bool nameless = !done && w == 0 && i % 7 == 0;
            const QString xingming = nameless ? QString() : workerName(k, workerNo);
            const QString ws = t.nextSheet();
            const QDateTime sttime = at(c.startDay(k), c.startMinute(k, w));
            const QVariant edtime = done ? QVariant(at(c.finishDay(k), c.finishMinute(k) - w * 3)) : nullDate;
            const auto &lm = c.lineMetal.at(w % c.lineMetal.size());
            const double weight = r3(q * pieceWeight(c.d) * (k <= 2 ? 1.12 : 1.02));
            const long long prochId = ++t.prochId;
            t.proch->add({prochId, c.scno, gx, changhao, xingming, sttime, edtime, q, ws,
                          QString::fromUtf8(kClerks[(i + k) % 3]), i % 11 == 0 ? QStringLiteral("急单 rush") : QString()});
            // The same step with its weight; some open ones carry the factory's
            // placeholder date 1899-12-30 instead of NULL.
            QVariant newEd = edtime;
            if (!done && i % 13 == 0)
                newEd = QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
            t.prochNew->add({c.scno, gx, changhao, xingming, sttime, newEd, q, weight, ws});

            // Material the step used: the metal of the worker's line, a second
            // metal now and then, and at setting the stones.
            if (k >= 2 && k <= 6) {
                t.matuse->add({prochId, c.scno, gx, changhao, lm.first, null, weight, q});
                if (w == 0 && c.lineMetal.size() > 1)
                    t.matuse->add({prochId, c.scno, gx, changhao, c.lineMetal.at(1).first, null, r3(weight / 4), q});
            }
            if (k == 3) {
                for (const StoneLine &s : c.stones)
                    if (s.stone != QLatin1String("INIST"))
                        t.matuse->add({prochId, c.scno, gx, changhao, s.stone, s.settype, s.perPiece * q,
                                       r3(s.perPiece * q * 0.01)});
            }
            if (k >= 2 && k <= 5)
                writeWorkerSheet(c, t, {gx, changhao, xingming, ws, lm.first, q, weight, sttime, edtime, done});
        }
        // Work of the current department not yet given to a worker: at the issuing desk.
        if (!done && k >= 2 && k <= 5 && i % 2 == 0) {
            const double q = std::floor(c.pieces / 4) + 1;
            t.prochNew->add({c.scno, gx, QString(), QString(), at(c.startDay(k), c.startMinute(k, 6)), nullDate, q,
                             r3(q * pieceWeight(c.d)), QString()});
        }
    }
}

// A worker's sheet of a step: finished (FIN) with its loss, or pending (PEN).
void DemoFactory::writeWorkerSheet(const Contract &c, Tables &t, const Step &s)
{
    const QVariant nullDate(QMetaType::fromType<QDateTime>());
    const double loss = r3(s.weight * 0.015);
    t.workReport->add({++t.lsh, c.scno, s.gongxu, s.changhao, s.xingming, s.sheet, c.customer, c.article, c.product,
                       s.metal, s.metal, day(c.delOffset), s.done ? s.edtime : nullDate,
                       s.done ? s.edtime : QVariant(s.sttime), s.sttime,
                       s.done ? QStringLiteral("FIN") : QStringLiteral("PEN"), s.qty, s.weight, s.done ? s.qty : 0.0,
                       s.done ? r3(s.weight - loss) : 0.0, s.done ? 0.0 : s.qty, s.done ? 0.0 : s.weight,
                       s.done ? r3(loss / 3) : 0.0, s.done ? loss : 0.0, QString()});
    if (s.done && s.gongxu == QStringLiteral("04-执模"))
        t.flreturn->add({s.sheet, c.scno, s.gongxu, s.changhao, c.customer, s.metal,
                         QString(s.metal + QStringLiteral("原料WIP")), 0.0, r3(s.weight * 0.01), s.edtime});
    if (!s.done)
        t.workWip->add({s.sheet, c.scno, s.gongxu, s.changhao, s.xingming, c.product, c.customer, s.qty, s.weight,
                        s.sttime, day(c.delOffset), QString()});
}

// Outside and special work, the finished-goods tables, the castings (one line per
// metal when casting is done) and the materials the contract was given.
void DemoFactory::writeOtherWork(const Contract &c, Tables &t)
{
    const int i = c.i;
    const QVariant nullDate(QMetaType::fromType<QDateTime>());
    if (i % 9 == 4 && c.stage >= 3) {
        const bool back = i % 2 == 1;
        const double q = std::floor(c.pieces / 3) + 1;
        t.proch->add({++t.prochId, c.scno, QStringLiteral("11-外发"), outsideWorker(), outsideName(), at(-(i % 6) - 2, 10 * 60),
                      back ? QVariant(at(-1, 15 * 60 + 20)) : nullDate, q, t.nextSheet(),
                      QString::fromUtf8(kClerks[i % 3]), QString()});
    }
    if (i % 25 == 3 && c.stage < 8) {
        const int s = (i / 25) % 4;
        const double q = std::floor(c.pieces / 2) + 1;
        const QString ws = t.nextSheet();
        const QString code = QString::fromLatin1(kSpecialCodes[s]);
        t.proch->add({++t.prochId, c.scno, code, specialWorker(s), specialName(s),
                      at(-1, 9 * 60), nullDate, q, ws, QString::fromUtf8(kClerks[0]), QStringLiteral("特别工序")});
        t.prochNew->add({c.scno, code, specialWorker(s), specialName(s), at(-1, 9 * 60),
                         nullDate, q, r3(q * pieceWeight(c.d)), ws});
    }
    if (i % 15 == 2 && c.stage < 8) {
        for (int s = 0; s < 4; ++s) {
            const double wip = double((i + s * 3) % 9 + 1), hand = double((i + s) % 4);
            t.spl[s]->add({c.scno, wip, hand, wip + hand});
        }
    }
    if (i % 20 == 7) {
        t.wipFinish->add({c.scno, c.customer, c.pieces, r3(c.metalWeight)});
        t.wipIss->add({c.scno, c.customer, c.pieces, r3(c.metalWeight * 1.1)});
        t.wipReturn->add({c.scno, c.customer, 0.0, r3(c.metalWeight * 0.04)});
    }
    if (c.stage > 1) {
        for (const auto &[metal, q] : c.lineMetal) {
            const double wt = r3(q * pieceWeight(c.d) * 1.12);
            double purity = 0.75;
            for (const Metal &m : kMetals)
                if (metal == QString::fromUtf8(m.code))
                    purity = m.purityValue();
            ++t.castindId;
            t.castind->add({t.castindId, QStringLiteral("CH%1").arg(30000 + i), c.scno, metal,
                            QStringLiteral("H%1").arg(t.castindId % 50), QStringLiteral("L%1").arg(800 + i % 40),
                            at(c.finishDay(1), c.finishMinute(1)), wt, q, r3(wt * 0.02), r3(wt * purity * 1.02)});
        }
    }
    for (const auto &[metal, q] : c.lineMetal)
        t.cumind->add({c.scno, metal, r3(q * pieceWeight(c.d) * 1.1)});
    for (const StoneLine &s : c.stones)
        t.cumind->add({c.scno, s.stone, s.perPiece * c.pieces});
}

// Stock transfers, as the work moved from stock to stock, each at the time the
// department passed it on.
void DemoFactory::writeTransfers(const Contract &c, Tables &t)
{
    const int i = c.i;
    auto transfer = [&](const QDateTime &when, const QString &zt, const QString &from, const QString &to,
                        const QString &mcode, const QString &zmcode, double qty, double weight,
                        const QString &gonghao, const QString &name) {
        t.mattran->add({QStringLiteral("MT%1").arg(++t.note, 7, 10, QLatin1Char('0')), c.scno, when, zt, from, to,
                        mcode, zmcode, QStringLiteral("H%1").arg(t.note % 30), QStringLiteral("L%1").arg(800 + i % 40),
                        c.lineMetal.first().first, qty, weight, qty, weight, r3(weight * 0.01), r3(weight * 0.005),
                        gonghao, name, c.customer, c.custOrder, c.product, c.design, QString::fromUtf8(kClerks[i % 3]),
                        i % 6 == 0 ? QString::fromUtf8(kClerks[(i + 1) % 3]) : QString()});
    };
    auto finished = [&](int k) { return at(c.finishDay(k), c.finishMinute(k)); };
    const QString finish = QStringLiteral("FINISH");
    const QString metal = c.lineMetal.first().first;
    const QString metalWip = metal + QStringLiteral("原料WIP");
    const double wt = r3(c.metalWeight);
    if (c.stage >= 1)
        transfer(finished(0), finish, QStringLiteral("21-蜡仓收发"), QStringLiteral("01-金仓收发"),
                 QStringLiteral("WAX-BLUE"), QStringLiteral("蜡模"), c.pieces, r3(c.pieces * 0.4), QString(), QString());
    if (c.stage >= 2) {
        const QString from = c.customer == QLatin1String("TIF") ? QStringLiteral("03-Tarvel金仓")
                                                                 : QStringLiteral("01-金仓收发");
        transfer(finished(1), finish, from, QStringLiteral("04-执模收发"), metal, metalWip, c.pieces, wt, QString(),
                 QString());
        // Wire and solder to filing, and what came back two days later.
        const Metal &ws = kWireSolder[i % std::size(kWireSolder)];
        const QString wsCode = QString::fromUtf8(ws.code);
        const QString wsKind = wsCode.contains(QStringLiteral("线")) ? QStringLiteral("线材原料WIP")
                                                                    : QStringLiteral("焊药原料WIP");
        transfer(finished(1), finish, QStringLiteral("01-金仓收发"), QStringLiteral("04-执模收发"), wsCode, wsKind, 0,
                 r3(2 + i % 7 * 0.35), QString(), QString());
        transfer(at(qMin(-1, c.finishDay(1) + 2), 16 * 60 + 10), finish, QStringLiteral("04-执模收发"),
                 QStringLiteral("01-金仓收发"), wsCode, wsKind, 0, r3(0.4 + i % 5 * 0.05), QString(), QString());
    }
    // Between the departments' desks, from filing on; the worker's part and scrap too.
    for (int k = 2; k < qMin(c.stage, kChainLength - 1); ++k) {
        const QString from = QString::fromUtf8(kChain[k].stock);
        const QString to = QString::fromUtf8(kChain[k + 1].stock);
        const QString zm = (i + k) % 5 == 4 ? QStringLiteral("半成品") : metalWip;
        transfer(finished(k), finish, from, to, metal, zm, c.pieces, r3(wt * 0.98), QString(), QString());
        if (k <= 5) {   // the metal a worker held for the step, settled when it finished
            transfer(finished(k), finish, from, QStringLiteral("11-工人在做仓"), metal, metalWip, c.pieces, wt,
                     workerNumber(k, 1), workerName(k, 1));
        }
        if ((i + k) % 3 == 0)
            transfer(finished(k), finish, from, QStringLiteral("09-废金仓"), metal, metalWip, 0, r3(wt * 0.01),
                     QString(), QString());
    }
    if (c.stage >= 2 && c.stage <= 6) {
        const QString from = QString::fromUtf8(kChain[c.stage].stock);
        transfer(at(c.startDay(c.stage), c.startMinute(c.stage, 0)), QStringLiteral("BEGIN"), from,
                 QStringLiteral("11-工人在做仓"), metal, metalWip, c.pieces, wt, workerNumber(c.stage, 0),
                 workerName(c.stage, 0));
    }
    if (i % 9 == 4 && c.stage >= 3)
        transfer(at(-(i % 6) - 2, 10 * 60), finish, QStringLiteral("04-执模收发"), QStringLiteral("12-外工收发"),
                 metal, metalWip, std::floor(c.pieces / 3) + 1, r3(wt / 3), outsideWorker(), outsideName());
    // Stones into the stone store and out to setting.
    for (const StoneLine &s : c.stones) {
        if (s.stone == QLatin1String("INIST"))
            continue;
        const double need = s.perPiece * c.pieces;
        const double in = c.stage >= 3 ? need : (i % 3 == 0 ? 0 : std::floor(need * 0.6));
        if (in > 0)
            transfer(at(c.issOffset + 2, 10 * 60 + 15), finish, QStringLiteral("12-外工收发"),
                     QStringLiteral("02-石仓收发"), s.stone, QStringLiteral("石料"), in, r3(in * 0.01), QString(),
                     QString());
        const double out = c.stage > 3 ? need : c.stage == 3 ? std::floor(need / 2) : 0;
        if (out > 0)
            transfer(finished(2), finish, QStringLiteral("02-石仓收发"), QStringLiteral("05-镶石收发"), s.stone,
                     QStringLiteral("石料"), out, r3(out * 0.01), QString(), QString());
    }
}

// Each bag (contract line) at the desk holding the contract's work, or finished.
void DemoFactory::writeBagPlaces(const Contract &c, Tables &t)
{
    const int k = qMin(c.stage, kChainLength - 1);
    for (qsizetype l = 0; l < c.lineMetal.size(); ++l)
        t.bagPlace->add({c.firstScondId + l, c.scno, QString::fromLatin1(k == kChainLength - 1 ? "finished" : "desk"),
                         QString::fromUtf8(kChain[k].gongxu), c.lineMetal.at(l).second,
                         r3(c.lineMetal.at(l).second * pieceWeight(c.d)), 1 + 2 * k, day(c.lastDone, 16),
                         QString::fromUtf8(kClerks[c.i % 3])});
}

// The change record of the demo's progress: the clerk typed each contract's
// wax transfer into the sales-contract window on the day it is dated.
bool DemoFactory::writeAuditTrail()
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("select scno, wax_out, wax_date from process where wax_out is not null order by scno"))) {
        m_error = q.lastError().text();
        return false;
    }
    BatchInserter audit(m_db, m_kind, QStringLiteral("audit_log"),
                        {"changed_at", "user_code", "source", "scno", "field", "old_value", "new_value"});
    while (q.next()) {
        const QVariant when = fromDbValue(q.value(2), ColumnKind::DateTime);
        const double pieces = fromDbValue(q.value(1), ColumnKind::Number).toDouble();
        audit.add({when.isNull() ? QVariant(day(-1, 10)) : when, QStringLiteral("CLERK"), QStringLiteral("w_scno_process"),
                   q.value(0).toString(), QStringLiteral("wax_out"), QStringLiteral("0"), QString::number(pieces, 'g', 15)});
    }
    return finish(audit);
}

bool DemoFactory::resyncSequences()
{
    if (m_kind != DbKind::PostgreSQL)
        return true;
    for (const TableDef &t : Schema::tables()) {
        const QString id = t.idColumn();
        if (id.isEmpty())
            continue;
        QSqlQuery q(m_db);
        const QString sql = QStringLiteral("select setval(pg_get_serial_sequence('%1', '%2'), "
                                           "coalesce((select max(%2) from %1), 0) + 1, false)")
                                .arg(t.name, id);
        if (!q.exec(sql)) {
            m_error = q.lastError().text();
            return false;
        }
    }
    return true;
}

} // namespace wip
