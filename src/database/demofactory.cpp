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
    return writeReferenceData() && writeContracts() && writeUsers() && writeClosedDays() && resyncSequences();
}

// The tables the contracts are written to, and the running keys.
struct DemoFactory::Tables
{
    std::unique_ptr<BatchInserter> sconh, scond, process, proch, prochNew, matuse, castind, cumind, mattran,
        workReport, flreturn, workWip, stonein, stissdate, wipFinish, wipIss, wipReturn, bagPlace, audit;
    std::unique_ptr<BatchInserter> spl[4];
    long long scondId = 0, prochId = 0, castindId = 0, lsh = 0, sheet = 0, note = 0;

    QString nextSheet() { return QStringLiteral("WS%1").arg(++sheet, 7, 10, QLatin1Char('0')); }
    demo::BagTables bags()
    {
        return {proch.get(), prochNew.get(), matuse.get(), workReport.get(), workWip.get(), flreturn.get(),
                mattran.get(), bagPlace.get(), &prochId, &lsh};
    }
};

// One demo contract: what it orders and when its departments worked on it.
//
// The departments of the chain (wax ... shipping) finish one after the other, each
// on a day of its own (finishDay), the last finished one `lastDone` days ago, all
// within working hours: mornings only today (the demo is made early in the day),
// any hour from 09:00 to 17:00 before. A department starts the day after the one
// before it finished (wax: the day after ordering), at 08:00 and a few minutes per
// worker; the department holding the work now started its open steps the same way.
//
// Each line is a bag the desks took from department to department: received at
// the department's start, given to workers and taken back, and passed on when
// the department finished, the last bag at the finishing moment itself, which
// the progress record carries as the department's date. A contract not started
// has its lines and their tickets only: nothing received, no progress record.
struct DemoFactory::Contract
{
    int i = 0;
    QString scno, article, design, customer, custOrder, product;
    int d = 0;
    int issOffset = 0, delOffset = 0;
    int stage = 0;           // 0..7: the department holding the work; 8: all done, not invoiced; 9: invoiced
    bool notStarted = false; // stage 0, and no bag received yet
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
    int lines() const { return int(lineMetal.size()); }
    int linePieces(int l) const { return int(lineMetal.at(l).second); }
};

QDateTime DemoFactory::at(int offset, int minute) const
{
    return day(offset).addSecs(qint64(minute) * 60);
}

// The inserters of the tables the contracts are written to.
void DemoFactory::makeTables(Tables &t)
{
    auto make = [this](const char *table, std::initializer_list<const char *> columns) {
        QStringList c;
        for (const char *name : columns)
            c << QString::fromLatin1(name);
        return std::make_unique<BatchInserter>(m_db, m_kind, QString::fromLatin1(table), c);
    };
    t.sconh = make("sconh", {"sconh_id", "scno", "cust_no", "cust_order", "issdate", "deldate", "inv_no", "invdate",
                             "take", "next_line_no"});
    t.scond = make("scond", {"scond_id", "scno", "design_no", "article_code", "metal", "size", "finding", "rhodium",
                             "quantity", "metal_netwt", "hallmark", "remarks", "unit_labprice", "line_no"});
    QStringList processCols;
    for (const ColumnDef &c : Schema::table(QStringLiteral("process"))->columns)
        processCols << c.name;
    t.process = std::make_unique<BatchInserter>(m_db, m_kind, QStringLiteral("process"), processCols);
    t.proch = make("proch", {"proch_id", "scno", "gongxu_code", "changhao", "xingming", "sttime", "edtime", "qty",
                             "wsheetno", "opername", "memo", "scond_id"});
    t.prochNew = make("proch_new", {"scno", "gongxu_code", "changhao", "xingming", "sttime", "edtime", "qty",
                                    "weight", "wsheetno", "scond_id"});
    t.matuse = make("matuse", {"proch_id", "scno", "gongxu_code", "changhao", "mcode", "waycode", "sqtycal",
                               "sqtyref"});
    t.castind = make("castind", {"castind_id", "castinh_no", "contractno", "mcode", "hcode", "lotno", "ldate",
                                 "qtycal", "qtyref", "loss", "puwithloss"});
    t.cumind = make("cumind", {"contractno", "mcode", "qtycal"});
    t.mattran = make("jcjl_mattran",
                     {"mattran_no", "scno", "ldate", "zt", "fcode", "tcode", "mcode", "zmcode", "hcode", "lotno",
                      "metal", "qtycal", "qtyref", "fpcs", "fweight", "freturn", "loss", "gonghao", "name",
                      "client_no", "custom", "product_name", "style_no", "inputname", "modifyname", "scond_id", "fdate"});
    t.workReport = make("work_report",
                        {"lsh", "scno", "gongxu", "changhao", "xingming", "wsheetno", "cust", "article_code",
                         "product_name", "metal", "mcode", "del_date", "fin_date", "ldate", "sdata", "zt",
                         "iss_pcs", "iss_weight", "fin_pcs", "fin_weight", "pen_pcs", "pen_weight", "ret_weight",
                         "loss", "bz", "scond_id"});
    t.flreturn = make("flreturn", {"wsheetno", "scno", "gongxu_code", "changhao", "client", "mcode", "zmcode",
                                   "pcs", "weight", "ldate"});
    t.workWip = make("work_wip", {"worksheet", "scno", "gongxu_code", "changhao", "xingming", "name", "cust_no",
                                  "pcs", "weight", "sttime", "deltime", "bz"});
    t.stonein = make("stonein", {"scno", "stonein"});
    t.stissdate = make("stissdate", {"scno", "startdate", "latestdate"});
    t.wipFinish = make("wip_finish", {"scno", "cust", "pcs", "weight"});
    t.wipIss = make("wip_iss", {"scno", "cust", "pcs", "weight"});
    t.wipReturn = make("wip_return", {"scno", "cust", "pcs", "weight"});
    t.bagPlace = make("bag_place", {"scond_id", "scno", "place", "gongxu_code", "next_gongxu", "changhao", "xingming",
                                    "note_no", "pcs", "weight", "moves", "ldate", "opername"});
    t.audit = make("audit_log", {"changed_at", "user_code", "source", "scno", "scond_id", "field", "old_value",
                                 "new_value"});
    const char *const splTables[] = {"spl_fil_wipp", "spl_set_wipp", "spl_fin_wipp", "spl_pol_wipp"};
    for (int s = 0; s < 4; ++s)
        t.spl[s] = make(splTables[s], {"scno", "wip", "isshand", "pending"});
}

bool DemoFactory::writeContracts()
{
    Tables t;
    makeTables(t);
    const std::initializer_list<BatchInserter *> all = {
        t.sconh.get(), t.scond.get(), t.process.get(), t.proch.get(), t.prochNew.get(), t.matuse.get(),
        t.castind.get(), t.cumind.get(), t.mattran.get(), t.workReport.get(), t.flreturn.get(), t.workWip.get(),
        t.stonein.get(), t.stissdate.get(), t.wipFinish.get(), t.wipIss.get(), t.wipReturn.get(), t.spl[0].get(),
        t.spl[1].get(), t.spl[2].get(), t.spl[3].get(), t.bagPlace.get(), t.audit.get()};
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
        if (!c.notStarted) {
            writeProgress(c, t);
            for (int l = 0; l < c.lines(); ++l)
                writeBag(c, l, t);
            writeOtherWork(c, t);
            writeTransfers(c, t);
        }
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
    c.notStarted = i % 20 == 0;
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
    // Each department's date is the moment its last bag was passed on (and the
    // next one's, until that one passes its last on); plating's is stamped by
    // polishing's passing on only, as 转出 of 电金 stamps nothing.
    for (int k = 0; k < 7; ++k) {
        if (k == 6 && stage > k)
            prog << at(c.finishDay(k - 1), c.finishMinute(k - 1));
        else if (stage > k)
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

// Where each bag of a contract stands in the department holding the
// contract's work: on its way there, at the desk (perhaps after a worker did
// part of it), with a worker (perhaps after another did part, or with pieces
// left over from a take-back), out for outside work; at shipping on its way or
// finished.
enum class DemoFactory::Standing { Transit, Desk, DeskAfterWork, Worker, WorkerAfterWork, WorkerPending, Outside, Finished };

DemoFactory::Standing DemoFactory::standing(const Contract &c, int line) const
{
    if (c.stage >= kChainLength)
        return Standing::Finished;
    const int v = (c.i / 10 + line * 3 + c.stage * 7) % 10;
    // A bag is on its way only when the desk before sent it yesterday or
    // today: one sent earlier the next desk has received, as a factory's
    // desks do (wip check names a transfer left lying for days).
    const bool sentLately = c.stage > 0 && c.finishDay(c.stage - 1) >= -1;
    if (c.stage == kChainLength - 1)
        return v < 4 && sentLately ? Standing::Transit : Standing::Finished;
    if (line == 0 && c.i % 9 == 4 && c.i % 2 == 0 && c.stage >= 2)
        return Standing::Outside;
    // Earlier work at the department needs a day begun before today; casting
    // gives a bag to one caster whole.
    const bool earlier = c.startDay(c.stage) < 0 && c.stage != 1;
    switch (v) {
    case 0:
    case 1:
        return sentLately ? Standing::Transit : Standing::Desk;
    case 2:
    case 3:
        return Standing::Desk;
    case 4:
        return earlier ? Standing::DeskAfterWork : Standing::Desk;
    case 8:
        return earlier ? Standing::WorkerAfterWork : Standing::Worker;
    case 9:
        return earlier ? Standing::WorkerPending : Standing::Worker;
    default:
        return Standing::Worker;
    }
}

// One bag (contract line) through the desks: received at each department's
// start, worked, passed on when the department finished, up to where it
// stands now. The receipt at 唧蜡 is in the change record as the desk writes it
// (the scan of the ticket and the progress record's wax_in), so that a line in
// production is known as such.
void DemoFactory::writeBag(const Contract &c, int line, Tables &t)
{
    demo::BagLine l;
    l.scondId = c.firstScondId + line;
    l.scno = c.scno;
    l.code = c.scno + u'-' + QString::number(line + 1);
    l.customer = c.customer;
    l.custOrder = c.custOrder;
    l.article = c.article;
    l.design = c.design;
    l.product = c.product;
    l.metal = c.lineMetal.at(line).first;
    l.delivery = day(c.delOffset);
    l.pieces = c.linePieces(line);
    l.stones = c.stones;
    demo::DemoBag bag(l, t.bags(), QString());
    const Standing now = standing(c, line);
    for (int k = 0; k <= qMin(c.stage, kChainLength - 1); ++k) {
        bag.setClerk(QString::fromUtf8(kClerks[(c.i + k) % 3]));
        const bool current = k == c.stage;
        if (k == kChainLength - 1) {   // shipping receives the finished bag
            const QDateTime shipped = current ? at(c.startDay(k), c.startMinute(k, 0) + line)
                                              : at(c.finishDay(k), c.finishMinute(k) - (c.lines() - 1 - line));
            if (now == Standing::Finished)
                bag.receive(shipped, bag.sentWeight());
            break;
        }
        if (current && now == Standing::Transit)
            break;
        const QDateTime received = at(c.startDay(k), c.startMinute(k, 0) + line);
        if (k == 0) {
            bag.receiveFromLine(received, demo::Mg(l.pieces) * (300 + 25 * (c.d % 5)));
            int before = 0;
            for (int p = 0; p < line; ++p)
                before += c.linePieces(p);
            const QString user = QStringLiteral("CLERK"), source = QStringLiteral("w_desk");
            t.audit->add({received, user, source, c.scno, l.scondId, QStringLiteral("scan:wax_in"), QVariant(), l.code});
            t.audit->add({received, user, source, c.scno, l.scondId, QStringLiteral("wax_in"),
                          line == 0 ? QVariant() : QVariant(QString::number(before)),
                          QString::number(before + l.pieces)});
        } else {
            bag.receive(received, bag.sentWeight() - ((c.i + line + k) % 4 == 0 ? 2 : 0));
        }
        if (current) {
            workNow(c, line, now, bag);
            break;
        }
        workDone(c, line, k, bag);
        bag.passOn(at(c.finishDay(k), c.finishMinute(k) - (c.lines() - 1 - line)));
    }
    bag.finish();
}

namespace {

// Grams lost, and returned as filings (执模) and polishing dust (打磨), per
// thousand issued, by department of the chain.
constexpr int kLossPerMille[] = {5, 20, 12, 3, 13, 10, 2};
constexpr int kReturnPerMille[] = {0, 0, 8, 0, 0, 6, 0};

// The metal a caster is given for a bag.
demo::Mg castWeight(int pieces, int design)
{
    return demo::Mg(std::llround(pieces * pieceWeight(design) * 1120.0));
}

} // namespace

// A worker of department k given pieces with their grams at `from` and taking
// them all back finished at `to`, less the department's loss and returns.
void DemoFactory::issueAndTakeBack(const Contract &c, int line, int k, int step, int pieces, demo::Mg weight,
                                   const QDateTime &from, const QDateTime &to, demo::DemoBag &bag)
{
    const int w = (c.i + line * 3 + step + k) % kWorkersPerDepartment;
    bag.issue(from, workerNumber(k, w), workerName(k, w), pieces, weight,
              c.i % 11 == 0 ? QStringLiteral("急单 rush") : QString());
    if (!to.isValid())
        return;
    const demo::Mg loss = weight * kLossPerMille[k] / 1000, returned = weight * kReturnPerMille[k] / 1000;
    bag.takeBack(to, pieces, weight - loss - returned, returned);
}

// The work of a department the bag has left: one worker, or now and then (one
// bag in eight) two one after the other; a filer's bag out for outside work and
// back first.
void DemoFactory::workDone(const Contract &c, int line, int k, demo::DemoBag &bag)
{
    QDateTime from = at(c.startDay(k), c.startMinute(k, line + 1));
    const QDateTime to = at(c.finishDay(k), c.finishMinute(k) - (c.lines() - 1 - line) - 10);
    const bool days = c.startDay(k) < c.finishDay(k);
    if (k == 2 && line == 0 && c.i % 9 == 4 && c.i % 2 == 1 && days) {
        bag.passOutside(from, outsideWorker(), outsideName());
        bag.receive(at(c.startDay(k), 14 * 60), bag.sentWeight());
        from = at(c.startDay(k), 14 * 60 + 10);
    }
    const int q = c.linePieces(line);
    const demo::Mg held = k == 1 ? castWeight(q, c.d) : bag.deskWeight();
    if (k == 1 || (c.i + k + line) % 8 != 0) {
        issueAndTakeBack(c, line, k, 0, q, held, from, to, bag);
        return;
    }
    const QDateTime mid = days ? at(c.startDay(k), 15 * 60 + line * 7) : from.addSecs(from.secsTo(to) / 2);
    const demo::Mg first = held * (q / 2) / q;
    issueAndTakeBack(c, line, k, 0, q / 2, first, from, mid, bag);
    issueAndTakeBack(c, line, k, 1, q - q / 2, held - first, mid.addSecs(600), to, bag);
}

// The work of the department holding the bag now, after its receipt.
void DemoFactory::workNow(const Contract &c, int line, Standing now, demo::DemoBag &bag)
{
    const int k = c.stage;
    const QDateTime from = at(c.startDay(k), c.startMinute(k, line + 1));
    const int q = c.linePieces(line);
    const demo::Mg held = k == 1 ? castWeight(q, c.d) : bag.deskWeight();
    const demo::Mg first = held * (q / 2) / q;
    switch (now) {
    case Standing::Outside:
        bag.passOutside(from, outsideWorker(), outsideName());
        break;
    case Standing::DeskAfterWork:
        issueAndTakeBack(c, line, k, 0, q / 2, first, from, from.addSecs(90 * 60), bag);
        break;
    case Standing::Worker:
        issueAndTakeBack(c, line, k, 0, q, held, from, QDateTime(), bag);
        break;
    case Standing::WorkerAfterWork:
        issueAndTakeBack(c, line, k, 0, q / 2, first, from, from.addSecs(90 * 60), bag);
        issueAndTakeBack(c, line, k, 1, q - q / 2, held - first, from.addSecs(100 * 60), QDateTime(), bag);
        break;
    case Standing::WorkerPending: {
        // Taken back in part: a quarter of the pieces stay with the worker.
        issueAndTakeBack(c, line, k, 0, q, held, from, QDateTime(), bag);
        const int finished = q - 1 - q / 4;
        const demo::Mg share = held * finished / q;
        const demo::Mg loss = share * kLossPerMille[k] / 1000, returned = share * kReturnPerMille[k] / 1000;
        bag.takeBack(from.addSecs(120 * 60), finished, share - loss - returned, returned);
        break;
    }
    default:   // at the desk since its receipt
        break;
    }
}

// Special work, the finished-goods tables, the castings (one line per metal when
// casting is done) and the materials the contract was given. Special work is no
// desk's: its steps name the contract only, as its tables do, and some of them
// carry the factory's placeholder finish date 1899-12-30 instead of NULL.
void DemoFactory::writeOtherWork(const Contract &c, Tables &t)
{
    const int i = c.i;
    const QVariant nullDate(QMetaType::fromType<QDateTime>());
    if (i % 25 == 3 && c.stage < 8) {
        const int s = (i / 25) % 4;
        const double q = std::floor(c.pieces / 2) + 1;
        const QString ws = t.nextSheet();
        const QString code = QString::fromLatin1(kSpecialCodes[s]);
        const QVariant none;
        t.proch->add({++t.prochId, c.scno, code, specialWorker(s), specialName(s),
                      at(-1, 9 * 60), nullDate, q, ws, QString::fromUtf8(kClerks[0]), QStringLiteral("特别工序"), none});
        const QVariant open = (i / 50) % 2 == 0 ? QVariant(QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC)) : nullDate;
        t.prochNew->add({c.scno, code, specialWorker(s), specialName(s), at(-1, 9 * 60),
                         open, q, r3(q * pieceWeight(c.d)), ws, none});
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

// The transfers of material that is no bag's, each at the time it moved: a
// customer's own gold into casting, wire and solder to filing and what came
// back, scrap from the desks, stones into the stone store and out to setting.
// (The bags' own transfers, desk to desk and to the workers, are their desks'.)
void DemoFactory::writeTransfers(const Contract &c, Tables &t)
{
    const int i = c.i;
    auto transfer = [&](const QDateTime &when, const QString &from, const QString &to, const QString &mcode,
                        const QString &zmcode, double qty, double weight) {
        t.mattran->add({QStringLiteral("MT%1").arg(++t.note, 7, 10, QLatin1Char('0')), c.scno, when,
                        QStringLiteral("FINISH"), from, to, mcode, zmcode, QStringLiteral("H%1").arg(t.note % 30),
                        QStringLiteral("L%1").arg(800 + i % 40), c.lineMetal.first().first, qty, weight, qty, weight,
                        r3(weight * 0.01), r3(weight * 0.005), QString(), QString(), c.customer, c.custOrder,
                        c.product, c.design, QString::fromUtf8(kClerks[i % 3]),
                        i % 6 == 0 ? QString::fromUtf8(kClerks[(i + 1) % 3]) : QString(), QVariant(), when});
    };
    auto finished = [&](int k) { return at(c.finishDay(k), c.finishMinute(k)); };
    const QString metal = c.lineMetal.first().first;
    const QString metalWip = metal + QStringLiteral("原料WIP");
    const double wt = r3(c.metalWeight);
    if (c.stage >= 2) {
        if (c.customer == QLatin1String("TIF"))
            transfer(at(c.startDay(1), c.startMinute(1, 0)), QStringLiteral("03-Tarvel金仓"),
                     QStringLiteral("01-金仓收发"), metal, metalWip, 0, r3(wt * 1.12));
        // Wire and solder to filing, and what came back two days later.
        const Metal &ws = kWireSolder[i % std::size(kWireSolder)];
        const QString wsCode = QString::fromUtf8(ws.code);
        const QString wsKind = wsCode.contains(QStringLiteral("线")) ? QStringLiteral("线材原料WIP")
                                                                    : QStringLiteral("焊药原料WIP");
        transfer(finished(1), QStringLiteral("01-金仓收发"), QStringLiteral("04-执模收发"), wsCode, wsKind, 0,
                 r3(2 + i % 7 * 0.35));
        transfer(at(qMin(-1, c.finishDay(1) + 2), 16 * 60 + 10), QStringLiteral("04-执模收发"),
                 QStringLiteral("01-金仓收发"), wsCode, wsKind, 0, r3(0.4 + i % 5 * 0.05));
    }
    for (int k = 2; k < qMin(c.stage, kChainLength - 1); ++k) {
        if ((i + k) % 3 == 0)
            transfer(finished(k), QString::fromUtf8(kChain[k].stock), QStringLiteral("09-废金仓"), metal, metalWip, 0,
                     r3(wt * 0.01));
    }
    // Stones into the stone store and out to setting.
    for (const StoneLine &s : c.stones) {
        if (s.stone == QLatin1String("INIST"))
            continue;
        const double need = s.perPiece * c.pieces;
        const double in = c.stage >= 3 ? need : (i % 3 == 0 ? 0 : std::floor(need * 0.6));
        if (in > 0)
            transfer(at(c.issOffset + 2, 10 * 60 + 15), QStringLiteral("12-外工收发"), QStringLiteral("02-石仓收发"),
                     s.stone, QStringLiteral("石料"), in, r3(in * 0.01));
        const double out = c.stage > 3 ? need : c.stage == 3 ? std::floor(need / 2) : 0;
        if (out > 0)
            transfer(finished(2), QStringLiteral("02-石仓收发"), QStringLiteral("05-镶石收发"), s.stone,
                     QStringLiteral("石料"), out, r3(out * 0.01));
    }
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
