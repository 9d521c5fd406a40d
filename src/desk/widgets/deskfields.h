#pragma once

#include "desk/deskrequest.h"
#include "runtime/decimal.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace wip {

// What the clerk chose to do at the desk: Desk's four actions, and passing the
// bag on to outside work (a bag back from outside work is received).
enum class DeskChoice { Receive, Issue, TakeBack, PassOn, Outside };

// The fields of the desk's form after the ticket's code.
enum class DeskField { Code, Worker, Pieces, Weight, Returned, UnfinishedToDesk, UnfinishedWeight };

// The desk window's form without its widgets: which fields each choice asks
// for, the order Enter goes through them, their captions, and the one place a
// field's text becomes part of the DeskRequest. A field added to Desk's request
// later is one more DeskField here, its caption, its place in the order and a
// case of set().
//
// The order depends on what is typed: taking back fewer pieces than the worker
// holds asks where the rest go, and their weight only when they come back:
//
//   收回, worker holds 10:  pieces ""  -> Code Worker Pieces Weight Returned
//                           pieces "7" -> ... Returned UnfinishedToDesk
//                           and to the desk -> ... UnfinishedToDesk UnfinishedWeight
class DeskFields
{
public:
    static DeskAction action(DeskChoice choice);
    static QString choiceText(DeskChoice choice);          // "接收" ... "外发"
    static QList<DeskChoice> choices();                    // in the order of their keys F5 ... F9

    // Every field the choice may ask for, Code first.
    static QList<DeskField> used(DeskChoice choice);
    // The fields Enter goes through for the request as typed so far, in order;
    // held: the pieces the worker holds (take back), when known.
    static QList<DeskField> chain(DeskChoice choice, const DeskRequest &typed, std::optional<Decimal> held);
    // The field after `from` in the chain; nullopt when `from` is the last (Enter acts).
    static std::optional<DeskField> next(DeskChoice choice, const DeskRequest &typed, std::optional<Decimal> held,
                                         DeskField from);
    // The caption of a field for a choice: "工人", "外发厂", "收到重量" ...
    static QString label(DeskChoice choice, DeskField field);
    static bool isWeight(DeskField field);

    // Puts one field into the request (text for the edits, checked for the box).
    static void set(DeskRequest *request, DeskField field, const QString &text, bool checked);
    // A request of the choice at the department, its fields still empty.
    static DeskRequest start(DeskChoice choice, const QString &department);
    // The request of the form: the fields of the chain, each read by `read`
    // (its text, and for the box whether it is checked); a field out of the
    // chain (the weight of unfinished pieces that stay) is not passed on.
    struct Value
    {
        QString text;
        bool checked = false;
    };
    static DeskRequest request(DeskChoice choice, const QString &department, std::optional<Decimal> held,
                               const std::function<Value(DeskField)> &read);
};

} // namespace wip
