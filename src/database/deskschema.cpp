#include "database/deskschema.h"

namespace wip {

QList<TableDef> DeskSchema::tables()
{
    using T = ColumnType;
    QList<TableDef> t;
    t.append({"bag_place",
              "where a bag (a contract line) is: place desk, worker, transit, outside or finished; "
              "gongxu_code the department it is at (transit: the sending one, outside: the one it returns to), "
              "next_gongxu the receiving department in transit, changhao/xingming the worker or outside "
              "workshop holding it, note_no the open sheet or the transfer under way, pcs and weight what "
              "the department's desk holds, moves the actions so far",
              {{"scond_id", T::Integer}, {"scno", T::Text}, {"place", T::Text}, {"gongxu_code", T::Text},
               {"next_gongxu", T::Text}, {"changhao", T::Text}, {"xingming", T::Text}, {"note_no", T::Text},
               {"pcs", T::Number}, {"weight", T::Number}, {"moves", T::Integer}, {"ldate", T::DateTime},
               {"opername", T::Text}},
              {"scond_id"}});
    return t;
}

QList<DeskSchema::AddedColumn> DeskSchema::addedColumns()
{
    using T = ColumnType;
    return {
        {"proch", {"scond_id", T::Integer}},
        {"proch_new", {"scond_id", T::Integer}},
        {"work_report", {"scond_id", T::Integer}},
        {"jcjl_mattran", {"scond_id", T::Integer}},
    };
}

QList<DeskSchema::AddedColumn> DeskSchema::addedColumnsOfVersion4()
{
    return {
        {"jcjl_mattran", {"fdate", ColumnType::DateTime}},
        {"work_report", {"back_pcs", ColumnType::Number}},
        {"work_report", {"back_weight", ColumnType::Number}},
    };
}

QList<IndexDef> DeskSchema::indexes()
{
    return {
        {"ix_proch_scond", "proch", {"scond_id", "edtime"}},
        {"ix_proch_new_scond", "proch_new", {"scond_id", "edtime"}},
        {"ix_work_report_wsheetno", "work_report", {"wsheetno"}},
        {"ix_work_wip_worksheet", "work_wip", {"worksheet"}},   // a worker's open sheet, replaced and settled by number
        {"ix_bag_place_scno", "bag_place", {"scno"}},
        // The metal balance (d_metal_balance): a period's lines, transfers and
        // desk rows, and the first metal of a bag at 倒模.
        {"ix_work_report_sdata", "work_report", {"sdata"}},
        {"ix_work_report_scond", "work_report", {"scond_id", "gongxu"}},
        {"ix_jcjl_mattran_fdate", "jcjl_mattran", {"fdate", "ldate"}},
        {"ix_jcjl_mattran_ldate", "jcjl_mattran", {"ldate"}},
        // The open transfers, by number: the desk finishes one transfer by its
        // number and state, so the number is in the index too (on the state
        // alone SQLite searched every open transfer of the factory for it).
        {"ix_jcjl_mattran_zt_no", "jcjl_mattran", {"zt", "mattran_no"}},
        {"ix_proch_new_edtime", "proch_new", {"edtime"}},
        // The metal balance reads its sums from the metal ledger (metal_day);
        // what it still reads from the rows, from the index alone: the bags at
        // 倒模's desk, and whether a bag had a line or a casting batch there
        // before (which the ledger's triggers ask too, for a bag's first lines).
        // The open steps of a process with every column of them that NEW WIP
        // (d_wip_all) shows come from the same index, so that it reads these
        // entries side by side instead of a table page for each open step; by
        // contract, so that it looks up the contracts and their lines in order.
        {"ix_proch_new_open", "proch_new",
         {"gongxu_code", "edtime", "scno", "sttime", "changhao", "scond_id", "weight", "xingming", "qty", "wsheetno"}},
        {"ix_work_report_first", "work_report", {"scond_id", "gongxu", "sdata"}},
        {"ix_proch_castbatch", "proch", {"scond_id", "gongxu_code", "memo", "edtime"}},
    };
}

} // namespace wip
