#pragma once

#include "runtime/decimal.h"

#include <QDateTime>
#include <QString>

namespace wip {

class Transaction;

// Where one bag (one contract line, scond_id) is, as the table bag_place keeps
// it: at a department's desk, with a worker of the department, in transit from
// one desk to the next, out for outside work (returning to the department it
// left), or finished. pcs and weight are what the department's desk holds of the
// bag: with a worker holding part of it, the rest waits at the desk.
//
//   none      not received yet: only 唧蜡 can receive it, from its line
//   desk      gongxu_code's desk holds pcs pieces, weight grams
//   worker    changhao holds the pieces of sheet note_no (the open steps say how
//             many and how heavy); the desk may hold the rest
//   transit   on transfer note_no from gongxu_code's desk to next_gongxu's
//   outside   at the outside workshop changhao on transfer note_no, back to gongxu_code
//   finished  received by shipping
struct BagPlace
{
    enum class Place { None, Desk, Worker, Transit, Outside, Finished };

    long long scondId = 0;
    QString scno;
    Place place = Place::None;
    QString gongxu;        // the department it is at or belongs to
    QString nextGongxu;    // transit: the receiving department
    QString changhao;      // worker or outside workshop
    QString xingming;
    QString noteNo;        // the open sheet, or the transfer under way
    Decimal pcs = Decimal::fromInt(0);
    Decimal weight = Decimal::fromInt(0);
    int moves = 0;         // actions so far; numbers the sheets and transfers

    bool stored() const { return moves > 0; }
    // Where the bag is, for the clerk: "在执模收发 (10 件 31.250 克)", "在执模工人 0401 张三手中",
    // "在途: 执模 → 镶石", "外发中 (执模, 外发厂)", "已完成 (出货)", "未接收".
    QString describe() const;
    static QString placeName(Place place);            // "desk" ... as stored; "" for none
    static Place placeFromName(const QString &name);  // unknown: None

    // The row of the bag; a bag without one is Place::None. False with
    // tr's status when it cannot be read. The caller holds the contract's lock.
    static bool read(Transaction &tr, long long scondId, BagPlace *place);
    // Inserts (moves 1) or updates the row, stamped with the user and moment.
    bool write(Transaction &tr, const QString &user, const QDateTime &when) const;
};

} // namespace wip
