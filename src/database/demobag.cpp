#include "database/demobag.h"

#include "database/batchinserter.h"
#include "runtime/values.h"

namespace wip::demo {

namespace {

const QString kWorkersStock = QStringLiteral("11-工人在做仓");
const QString kOutside = QStringLiteral("11-外发");
const QString kOutsideStock = QStringLiteral("12-外工收发");
const QString kSetting = QStringLiteral("06-镶石");

QVariant grams(Mg mg) { return double(mg) / 1000.0; }
QVariant nullDate() { return QVariant(QMetaType::fromType<QDateTime>()); }
QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }
QVariant orNull(const QString &s) { return s.isEmpty() ? nullText() : QVariant(s); }

const char *const kPlaces[] = {"", "desk", "worker", "transit", "outside", "finished"};

// The chain's process codes, then its stock codes, made once.
const QStringList &chainCodes(bool stocks)
{
    static const QStringList codes[2] = {
        [] {
            QStringList l;
            for (const Stage &s : kChain)
                l << QString::fromUtf8(s.gongxu);
            return l;
        }(),
        [] {
            QStringList l;
            for (const Stage &s : kChain)
                l << QString::fromUtf8(s.stock);
            return l;
        }(),
    };
    return codes[stocks ? 1 : 0];
}

} // namespace

DemoBag::DemoBag(const BagLine &line, const BagTables &tables, const QString &clerk)
    : m_line(line), m_t(tables), m_clerk(clerk), m_delivery(values::dateTimeText(line.delivery))
{
}

QString DemoBag::nextNote()
{
    return QStringLiteral("%1/%2").arg(m_line.code).arg(++m_moves);
}

QString DemoBag::gongxu() const
{
    return chainCodes(false).at(m_stage);
}

QString DemoBag::stock() const
{
    return chainCodes(true).at(m_stage);
}

// What the desk holds of the bag: its row of proch_new without a worker, closed
// at each change (written then) and opened again while pieces are left.
void DemoBag::setDesk(const Stamp &when, int pieces, Mg weight)
{
    if (m_deskOpen && pieces == m_deskPcs && weight == m_deskMg)
        return;
    closeDesk(when);
    if (pieces > 0) {
        m_deskOpen = true;
        m_deskSince = when;
    }
    m_deskPcs = pieces;
    m_deskMg = weight;
}

void DemoBag::closeDesk(const Stamp &when)
{
    if (m_deskOpen)
        writeDeskRow(when);
    m_deskOpen = false;
}

void DemoBag::writeDeskRow(const QVariant &edtime)
{
    m_t.prochNew->add({m_line.scno, gongxu(), QString(""), QString(""), m_deskSince, edtime, m_deskPcs,
                       grams(m_deskMg), nullText(), m_line.scondId});
}

void DemoBag::receiveFromLine(const QDateTime &at, Mg weight)
{
    const Stamp when = values::dateTimeText(at);
    m_stage = 0;
    nextNote();
    m_place = Place::Desk;
    setDesk(when, m_line.pieces, weight);
    m_last = when;
}

void DemoBag::receive(const QDateTime &at, Mg weight)
{
    const Stamp when = values::dateTimeText(at);
    nextNote();
    const QString note = m_note;
    const Received got{m_sentPcs, weight, 0, 0};
    writeTransfer({note, stock(), m_toStock, m_kind, m_workshop, m_workshopName, m_sentPcs, m_sentMg}, m_sentAt,
                  &got, when);
    if (m_place == Place::Outside)
        writeStep(m_outsideStep, kOutside, m_workshop, m_workshopName, m_sentAt, when, m_sentPcs, note, QString());
    else
        ++m_stage;
    m_note.clear();
    m_workshop.clear();
    m_workshopName.clear();
    m_last = when;
    if (m_stage == kChainLength - 1) {   // shipping: a step finished at once, and the bag is finished
        writeStep(++*m_t.prochId, gongxu(), QString(), QString(), when, when, m_sentPcs, note, QString());
        m_place = Place::Finished;
        m_deskPcs = m_sentPcs;
        m_deskMg = weight;
        return;
    }
    m_place = Place::Desk;
    setDesk(when, m_sentPcs, weight);
}

void DemoBag::issue(const QDateTime &at, const QString &worker, const QString &name, int pieces, Mg weight,
                    const QString &memo)
{
    const Stamp when = values::dateTimeText(at);
    m_sheet = nextNote();
    m_worker = worker;
    m_workerName = name;
    m_memo = memo;
    m_prochId = ++*m_t.prochId;
    m_heldPcs = pieces;
    m_heldMg = weight;
    m_sheetStart = m_sheetSince = when;
    const int left = m_deskPcs - pieces;
    setDesk(when, left, left == 0 ? 0 : qMax<Mg>(0, m_deskMg - weight));
    m_place = Place::Worker;
    m_last = when;
}

// The sheet settled: its step finished with the pieces finished, the line FIN
// with its loss, its transfer FINISH; pieces left with the worker go on under
// the same sheet, owing what was issued less what came back.
void DemoBag::takeBack(const QDateTime &at, int finished, Mg finishedWeight, Mg returned)
{
    const Stamp when = values::dateTimeText(at);
    nextNote();
    const int unfinished = m_heldPcs - finished;
    const bool staying = unfinished > 0;
    const Mg owed = staying ? m_heldMg - finishedWeight - returned : 0;
    const Mg loss = staying ? 0 : m_heldMg - finishedWeight - returned;
    const Mg closed = m_heldMg - owed;
    writeStep(m_prochId, gongxu(), m_worker, m_workerName, m_sheetStart, when, finished, m_sheet, m_memo);
    m_t.prochNew->add({m_line.scno, gongxu(), m_worker, m_workerName, m_sheetStart, when, finished, grams(closed),
                       m_sheet, m_line.scondId});
    writeMaterial(m_prochId, finished, closed);
    writeSheetLine(when, finished, closed, finishedWeight, returned, loss, false);
    Transfer settled = sheetTransfer();
    settled.pieces = finished;
    settled.weight = closed;
    const Received back{finished, finishedWeight, returned, loss};
    writeTransfer(settled, when, &back, when);
    if (returned > 0)
        m_t.flreturn->add({m_sheet, m_line.scno, gongxu(), m_worker, m_line.customer, m_line.metal,
                           QString(m_line.metal + QStringLiteral("原料WIP")), 0, grams(returned), when});
    setDesk(when, m_deskPcs + finished, m_deskMg + finishedWeight);
    m_last = when;
    if (staying) {
        m_prochId = ++*m_t.prochId;
        m_heldPcs = unfinished;
        m_heldMg = owed;
        m_sheetSince = when;
        m_memo.clear();
        return;
    }
    m_place = Place::Desk;
    m_heldPcs = 0;
    m_heldMg = 0;
    m_sheet.clear();
}

void DemoBag::passOn(const QDateTime &at)
{
    const Stamp when = values::dateTimeText(at);
    m_note = nextNote();
    m_toStock = chainCodes(true).at(m_stage + 1);
    m_kind = m_stage == 0 ? QStringLiteral("蜡模") : m_line.metal + QStringLiteral("原料WIP");
    m_sentPcs = m_deskPcs;
    m_sentMg = m_deskMg;
    m_sentAt = when;
    closeDesk(when);
    m_deskPcs = 0;
    m_deskMg = 0;
    m_place = Place::Transit;
    m_last = when;
}

void DemoBag::passOutside(const QDateTime &at, const QString &workshop, const QString &name)
{
    passOn(at);
    m_toStock = kOutsideStock;
    m_workshop = workshop;
    m_workshopName = name;
    m_outsideStep = ++*m_t.prochId;
    m_place = Place::Outside;
}

void DemoBag::writeStep(long long prochId, const QString &gongxu, const QString &changhao, const QString &xingming,
                        const Stamp &sttime, const QVariant &edtime, int pieces, const QString &sheet,
                        const QString &memo)
{
    m_t.proch->add({prochId, m_line.scno, gongxu, orNull(changhao), orNull(xingming), sttime, edtime, pieces, sheet,
                    m_clerk, orNull(memo), m_line.scondId});
}

// The line's metal in grams and pieces; at setting, the stones set.
void DemoBag::writeMaterial(long long prochId, int pieces, Mg weight)
{
    m_t.matuse->add({prochId, m_line.scno, gongxu(), m_worker, m_line.metal, nullText(), grams(weight), pieces});
    if (gongxu() != kSetting)
        return;
    for (const StoneLine &s : m_line.stones) {
        if (s.stone != QLatin1String("INIST"))
            m_t.matuse->add({prochId, m_line.scno, gongxu(), m_worker, s.stone, s.settype, s.perPiece * pieces,
                             r3(s.perPiece * pieces * 0.01)});
    }
}

void DemoBag::writeSheetLine(const Stamp &ldate, int finished, Mg issued, Mg finishedWeight, Mg returned,
                             Mg loss, bool pending)
{
    const int pcs = pending ? m_heldPcs : finished;
    m_t.workReport->add({++*m_t.lsh, m_line.scno, gongxu(), m_worker, m_workerName, m_sheet, m_line.customer,
                         m_line.article, m_line.product, m_line.metal, m_line.metal, m_delivery,
                         pending ? nullDate() : QVariant(ldate), ldate, m_sheetStart,
                         pending ? QStringLiteral("PEN") : QStringLiteral("FIN"), pcs, grams(issued),
                         pending ? 0 : finished, grams(pending ? 0 : finishedWeight), pending ? pcs : 0,
                         grams(pending ? issued : 0), grams(returned), grams(loss), orNull(m_memo),
                         m_line.scondId});
}

DemoBag::Transfer DemoBag::sheetTransfer() const
{
    return {m_sheet, stock(), kWorkersStock, m_line.metal + QStringLiteral("原料WIP"), m_worker, m_workerName,
            m_heldPcs, m_heldMg};
}

// A transfer as begun (received null) or finished: a desk's receipt keeps what
// was sent and adds what arrived; a worker's take-back settles the sheet's
// transfer to what came back, with the returned grams and the loss.
void DemoBag::writeTransfer(const Transfer &t, const Stamp &ldate, const Received *received, const Stamp &fdate)
{
    const QVariant none;
    const bool settles = received && t.to == kWorkersStock;
    m_t.mattran->add({t.note, m_line.scno, ldate, received ? QStringLiteral("FINISH") : QStringLiteral("BEGIN"),
                      t.from, t.to, m_line.metal, t.kind, nullText(), nullText(), m_line.metal, t.pieces,
                      grams(t.weight), received ? QVariant(received->pieces) : none,
                      received ? grams(received->weight) : none, settles ? grams(received->returned) : none,
                      settles ? grams(received->loss) : none, orNull(t.gonghao), orNull(t.name), m_line.customer,
                      m_line.custOrder, m_line.product, m_line.design, m_clerk,
                      received ? QVariant(m_clerk) : nullText(), m_line.scondId,
                      received ? QVariant(fdate) : nullDate()});
}

void DemoBag::writeOpenSheet()
{
    writeStep(m_prochId, gongxu(), m_worker, m_workerName, m_sheetStart, nullDate(), m_heldPcs, m_sheet, m_memo);
    m_t.prochNew->add({m_line.scno, gongxu(), m_worker, m_workerName, m_sheetStart, nullDate(), m_heldPcs,
                       grams(m_heldMg), m_sheet, m_line.scondId});
    writeMaterial(m_prochId, m_heldPcs, m_heldMg);
    writeSheetLine(m_sheetSince, 0, m_heldMg, 0, 0, 0, true);
    m_t.workWip->add({m_sheet, m_line.scno, gongxu(), m_worker, m_workerName, m_line.product, m_line.customer,
                      m_heldPcs, grams(m_heldMg), m_sheetStart, m_delivery, nullText()});
    writeTransfer(sheetTransfer(), m_sheetSince, nullptr);
}

void DemoBag::finish()
{
    if (m_place == Place::None)
        return;
    if (m_deskOpen)
        writeDeskRow(nullDate());
    if (m_place == Place::Worker)
        writeOpenSheet();
    if (m_place == Place::Transit || m_place == Place::Outside)
        writeTransfer({m_note, stock(), m_toStock, m_kind, m_workshop, m_workshopName, m_sentPcs, m_sentMg}, m_sentAt,
                      nullptr);
    if (m_place == Place::Outside)
        writeStep(m_outsideStep, kOutside, m_workshop, m_workshopName, m_sentAt, nullDate(), m_sentPcs, m_note,
                  QString());
    writeBagPlace();
}

void DemoBag::writeBagPlace()
{
    const bool transit = m_place == Place::Transit;
    const bool away = m_place == Place::Worker || m_place == Place::Outside;
    const QString who = m_place == Place::Worker ? m_worker : m_workshop;
    const QString whoName = m_place == Place::Worker ? m_workerName : m_workshopName;
    m_t.bagPlace->add({m_line.scondId, m_line.scno, QString::fromLatin1(kPlaces[int(m_place)]), gongxu(),
                       transit ? QVariant(chainCodes(false).at(m_stage + 1)) : nullText(),
                       away ? QVariant(who) : nullText(), away ? QVariant(whoName) : nullText(),
                       away || transit ? QVariant(m_place == Place::Worker ? m_sheet : m_note) : nullText(),
                       m_deskPcs, grams(m_deskMg), m_moves, m_last, m_clerk});
}

} // namespace wip::demo
