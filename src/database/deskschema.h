#pragma once

#include "database/schema.h"

#include <QList>

namespace wip {

// What the department desk adds to the schema (version 3), in one list apart
// from the rest so that it reads as one piece:
// - bag_place: where each bag (one contract line, scond_id) is now: at a
//   department's desk, with a worker, in transit between two desks, out for
//   outside work, or finished; with the pieces and grams its desk holds.
// - scond_id on the step, sheet and transfer tables (proch, proch_new,
//   work_report, jcjl_mattran): the bag a row belongs to; NULL in rows written
//   before, which name their contract only.
class DeskSchema
{
public:
    struct AddedColumn
    {
        QString table;
        ColumnDef column;
    };

    static QList<TableDef> tables();
    static QList<AddedColumn> addedColumns();
    // Version 4: jcjl_mattran.fdate, the moment a transfer was received (a
    // desk's receipt, a worker's sheet settled), so that the metal in transit
    // on any day is known; NULL while under way and in rows written before.
    // work_report.back_pcs and back_weight: the pieces not finished that a
    // take-back sent back to the desk, and their grams, which the line's
    // iss_weight leaves out, so that what the worker held is known after.
    static QList<AddedColumn> addedColumnsOfVersion4();
    static QList<IndexDef> indexes();
};

} // namespace wip
