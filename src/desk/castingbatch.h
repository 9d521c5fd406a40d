#pragma once

#include <QList>
#include <QString>

namespace wip {

// One casting batch as the clerk of 倒模 gives it: the wax pieces of several
// bags mounted on one tree and cast in one metal. Weights are the texts typed
// or read from a scale (grams, at most three decimals; DeskInput reads them).
//
//   tree of 18KY: 70 g weighed out, 4.2 g back (button and sprues)
//     KC1-1  31.25 g cast      KC1-3  18.75 g cast      KC2-1  15.5 g cast
//   → cast 65.5 g, loss 0.3 g
struct CastingBatch
{
    struct Bag
    {
        QString code;      // the bag ticket as scanned, "<scno>-<n>"
        QString weight;    // grams of metal cast for the bag: its pieces, cut from the tree
    };

    QString department = QStringLiteral("倒模");   // the desk (caption or process code): 倒模 only
    QList<Bag> bags;
    QString issued;      // grams of metal weighed out for the tree
    QString returned;    // grams that came back from the tree (button, sprues); empty 0
};

} // namespace wip
