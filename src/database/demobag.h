#pragma once

#include "database/democatalogue.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

namespace wip {

class BatchInserter;

namespace demo {

// Grams counted exactly, in milligrams: a sheet's loss is issued − finished −
// returned to the milligram, as the desk computes it.
using Mg = qint64;

// The tables a demo bag's actions write, and the running keys they share with
// the rest of the demo.
struct BagTables
{
    BatchInserter *proch = nullptr;
    BatchInserter *prochNew = nullptr;
    BatchInserter *matuse = nullptr;
    BatchInserter *workReport = nullptr;
    BatchInserter *workWip = nullptr;
    BatchInserter *flreturn = nullptr;
    BatchInserter *mattran = nullptr;
    BatchInserter *bagPlace = nullptr;
    long long *prochId = nullptr;
    long long *lsh = nullptr;
};

// A bag as its ticket names it: its contract line and contract.
struct BagLine
{
    long long scondId = 0;
    QString scno, code;          // code: the ticket, "<scno>-<line_no>"
    QString customer, custOrder, article, design, product, metal;
    QDateTime delivery;
    int pieces = 0;
    QList<StoneLine> stones;     // set at 06-镶石: the matuse rows of each step
};

// One bag of the demo taken through the departments' desks as the desk takes a
// bag (src/desk: Desk and DeskRows), so that the rows of the bulk demo are the
// rows the desk would have written and the desk can take the next action on any
// demo bag. The actions are the desk's: receive (at 唧蜡 from the line,
// elsewhere what was sent), issue to a worker, take back, pass on to the next
// department or to outside work; sheets and transfers are numbered
// "<ticket>/<n>", n counting the bag's actions, a worker's sheet and its
// transfer to the workers' stock sharing the number.
//
// A row is written once, when it is final: a step when it is taken back, a
// transfer when it is received; what is still open (the desk's row, the
// worker's sheet, the transfer under way) and where the bag is are written by
// finish(). The desk's row is a history, as the desk keeps it: each change of
// what the desk holds closes the row and opens another.
//
//   receiveFromLine(8:00, 2.4 g)   desk 唧蜡 6 pcs 2.400 g                 moves 1
//   issue(8:05, "0103", 6, 2.4 g)  worker 0103 holds sheet KC1-1/2        moves 2
//   takeBack(9:40, 6, 2.388 g, 0)  proch, proch_new, work_report FIN,
//                                  the sheet's transfer FINISH (loss 0.012) moves 3
//   passOn(9:50)                   transit 唧蜡 → 倒模 on KC1-1/4           moves 4
class DemoBag
{
public:
    DemoBag(const BagLine &line, const BagTables &tables, const QString &clerk);

    // The clerk who acts from now on (opername, inputname).
    void setClerk(const QString &clerk) { m_clerk = clerk; }
    // At 唧蜡, from the line: its pieces, weighed.
    void receiveFromLine(const QDateTime &when, Mg weight);
    // What was sent to this desk (or back from outside work), weighed.
    void receive(const QDateTime &when, Mg weight);
    void issue(const QDateTime &when, const QString &worker, const QString &name, int pieces, Mg weight,
               const QString &memo = QString());
    // Finished pieces with their grams and the grams returned; pieces not
    // finished stay with the worker, owing what is left of the issue.
    void takeBack(const QDateTime &when, int finished, Mg finishedWeight, Mg returned);
    // The whole bag, with the grams the desk holds, to the next department.
    void passOn(const QDateTime &when);
    void passOutside(const QDateTime &when, const QString &workshop, const QString &name);
    // Writes what is still open and where the bag is.
    void finish();

    int stage() const { return m_stage; }           // index into kChain
    int deskPieces() const { return m_deskPcs; }
    Mg deskWeight() const { return m_deskMg; }
    int heldPieces() const { return m_heldPcs; }
    Mg heldWeight() const { return m_heldMg; }
    Mg sentWeight() const { return m_sentMg; }

private:
    enum class Place { None, Desk, Worker, Transit, Outside, Finished };
    // Moments are kept as the databases' text of them, made once per action.
    using Stamp = QString;

    QString nextNote();
    QString gongxu() const;
    QString stock() const;
    void setDesk(const Stamp &when, int pieces, Mg weight);
    void closeDesk(const Stamp &when);
    void writeDeskRow(const QVariant &edtime);
    void writeStep(long long prochId, const QString &gongxu, const QString &changhao, const QString &xingming,
                   const Stamp &sttime, const QVariant &edtime, int pieces, const QString &sheet,
                   const QString &memo);
    void writeSheetStep(const QVariant &edtime, int pieces, Mg weight);
    void writeMaterial(long long prochId, int pieces, Mg weight);
    void writeSheetLine(const Stamp &ldate, int finished, Mg issued, Mg finishedWeight, Mg returned, Mg loss,
                        bool pending);
    // A transfer begun (received: nothing yet) or finished with what arrived.
    struct Transfer
    {
        QString note, from, to, kind, gonghao, name;
        int pieces = 0;
        Mg weight = 0;
    };
    struct Received
    {
        int pieces = 0;
        Mg weight = 0, returned = 0, loss = 0;
    };
    // received: its moment (fdate), the receipt's or the take-back's.
    void writeTransfer(const Transfer &t, const Stamp &ldate, const Received *received, const Stamp &fdate = Stamp());
    Transfer sheetTransfer() const;
    void writeOpenSheet();
    void writeBagPlace();

    BagLine m_line;
    BagTables m_t;
    QString m_clerk;
    Place m_place = Place::None;
    int m_stage = -1;
    int m_moves = 0;
    Stamp m_last;                   // the last action
    // The desk's row: what the desk holds of the bag.
    int m_deskPcs = 0;
    Mg m_deskMg = 0;
    Stamp m_deskSince;
    bool m_deskOpen = false;
    // The worker's open sheet.
    QString m_worker, m_workerName, m_sheet, m_memo;
    long long m_prochId = 0;
    int m_heldPcs = 0;
    Mg m_heldMg = 0;
    Stamp m_sheetStart, m_sheetSince;   // the issue; the issue or the last partial take-back
    // The transfer under way (to the next desk, to outside work).
    QString m_note, m_toStock, m_kind, m_workshop, m_workshopName;
    int m_sentPcs = 0;
    Mg m_sentMg = 0;
    Stamp m_sentAt;
    Stamp m_delivery;
    long long m_outsideStep = 0;
};

} // namespace demo
} // namespace wip
