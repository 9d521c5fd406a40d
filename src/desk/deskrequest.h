#pragma once

#include <QList>
#include <QString>

namespace wip {

// The actions of a department's desk.
//   Receive   a bag at this desk: at 唧蜡 from its contract line; elsewhere the
//             transfer the previous desk began (or the bag back from outside work)
//   Issue     pieces of the bag from the desk to a worker
//   TakeBack  from the worker: finished pieces and their grams, returned material;
//             pieces not finished stay with the worker or come back to the desk
//   PassOn    the bag to the next department's desk, or out for outside work
//   Reverse   a correction: the bag's last action at this desk (an issue or a
//             take-back) undone by new rows that cancel it, with the reason
//             (DeskReversal); needs the supervisor right
enum class DeskAction { Receive, Issue, TakeBack, PassOn, Reverse };

// One action as the clerk gives it. Numbers are the texts typed or read from a
// scale; DeskInput reads them exactly. An empty pieces text means the default:
// what the desk holds (issue, pass on), what the worker holds (take back), what
// was sent (receive).
struct DeskRequest
{
    // A count of stones as the clerk typed it, at a take-back at 镶石. Set: the
    // setting method (a settype_code of the style's stone lines) and, where the
    // style sets more than one stone by that method, the stone; broken or lost:
    // the stone, no method.
    struct StoneCount
    {
        QString method;
        QString stone;
        QString count;         // whole stones
    };

    DeskAction action = DeskAction::Receive;
    QString code;              // the bag ticket as scanned, "<scno>-<n>"
    QString department;        // caption or process code of this desk
    QString worker;            // issue: the worker number; take back: optional, must be the holder;
                               // pass on to outside work: the outside workshop
    QString pieces;
    QString weight;            // grams weighed: received, issued, finished, sent
    QString returned;          // take back: grams returned (filings, sweepings); empty 0
    bool unfinishedToDesk = false;   // take back: pieces not finished come back to the desk ...
    QString unfinishedWeight;        // ... weighing this much; otherwise they stay with the worker
    bool toOutside = false;          // pass on: out for outside work instead of to the next department
    bool confirmDifference = false;  // receive: a weight off what was sent by more than the tolerance is meant
    QString gainConfirmedBy;         // take back: the supervisor who confirms a gain (checked for the right)
    // Take back at 镶石 (SettingStones): stones set, replacing the default (the
    // style's stones × pieces finished) of the lines named; stones broken or lost.
    QList<StoneCount> stonesSet;
    QList<StoneCount> stonesBroken;
    QString memo;
    QString reason;            // reverse: why the action is undone (must be given)

    static QString actionText(DeskAction action);   // "接收", "发出", "收回", "转出", "冲销"
};

} // namespace wip
