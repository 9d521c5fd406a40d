#include "database/schema.h"

#include "database/deskschema.h"
#include "database/lossschema.h"
#include "database/metalledger.h"
#include "database/orderstanding.h"
#include "database/referenceschema.h"

namespace wip {

namespace {

using T = ColumnType;

QList<ColumnDef> cols(std::initializer_list<ColumnDef> list) { return QList<ColumnDef>(list); }

// Numbers of a contract's progress record: received and passed on per stage.
QList<ColumnDef> processColumns()
{
    QList<ColumnDef> c{{"process_id", T::Id}, {"scno", T::Text}};
    for (const char *stage : {"wax", "casting", "filing", "setting", "finishing", "polishing",
                              "rhodium", "qc", "gold"}) {
        c.append({QString::fromLatin1(stage) + "_in", T::Number});
        c.append({QString::fromLatin1(stage) + "_out", T::Number});
    }
    for (const char *stage : {"wax", "casting", "filing", "setting", "finishing", "polishing", "rhodium"})
        c.append({QString::fromLatin1(stage) + "_date", T::DateTime});
    c.append({"remark", T::Text});
    c.append({"bz", T::Text});
    return c;
}

// Contracts and the articles (styles) their lines are made in, with the stones
// an article carries and how they are set.
QList<TableDef> contractTables()
{
    QList<TableDef> t;
    t.append({"sconh", "sales-contract header, one per contract number; next_line_no: the number its next "
                       "line gets (NULL: one above its highest line number)",
              cols({{"sconh_id", T::Id}, {"scno", T::Text}, {"cust_no", T::Text},
                    {"cust_order", T::Text}, {"issdate", T::DateTime}, {"deldate", T::DateTime},
                    {"inv_no", T::Text}, {"invdate", T::DateTime}, {"take", T::Integer},
                    {"next_line_no", T::Integer}}), {}});
    t.append({"scond", "contract line: one design and article in one metal and size; line_no: its number "
                       "in the contract, on its bag ticket (<scno>-<line_no>), never given again",
              cols({{"scond_id", T::Id}, {"scno", T::Text}, {"design_no", T::Text},
                    {"article_code", T::Text}, {"metal", T::Text}, {"size", T::Text},
                    {"finding", T::Text}, {"rhodium", T::Text}, {"quantity", T::Number},
                    {"metal_netwt", T::Number}, {"hallmark", T::Text}, {"remarks", T::Text},
                    {"unit_labprice", T::Number}, {"line_no", T::Integer}}), {}});
    t.append({"article", "an article (style) with its product type and picture file",
              cols({{"article_code", T::Text}, {"arttype_code", T::Text}, {"pic_name", T::Text}}),
              {"article_code"}});
    t.append({"arttype", "product type (ring, pendant ...)",
              cols({{"arttype_code", T::Text}, {"arttype_name", T::Text}}), {"arttype_code"}});
    t.append({"artsd", "a stone of an article: stones per piece and setting method",
              cols({{"article_code", T::Text}, {"stone_code", T::Text}, {"settype_code", T::Text},
                    {"qtycal", T::Number}}), {}});
    t.append({"settype", "setting method",
              cols({{"settype_code", T::Text}, {"settype_name", T::Text}}), {"settype_code"}});
    return t;
}

// Work steps: a contract's progress record, the steps given to workers, the
// material they use and the worker sheets.
QList<TableDef> workStepTables()
{
    QList<TableDef> t;
    t.append({"process", "progress record of a contract through the departments", processColumns(), {}});
    t.append({"proch", "a process step of an order given to a worker; edtime NULL while open",
              cols({{"proch_id", T::Id}, {"scno", T::Text}, {"gongxu_code", T::Text},
                    {"changhao", T::Text}, {"xingming", T::Text}, {"sttime", T::DateTime},
                    {"edtime", T::DateTime}, {"qty", T::Number}, {"wsheetno", T::Text},
                    {"opername", T::Text}, {"memo", T::Text}}), {}});
    t.append({"proch_new", "process steps with weights; a worker number empty while the step "
                           "waits at the issuing desk; edtime NULL (or before 1900-01-02) while open",
              cols({{"scno", T::Text}, {"gongxu_code", T::Text}, {"changhao", T::Text},
                    {"xingming", T::Text}, {"sttime", T::DateTime}, {"edtime", T::DateTime},
                    {"qty", T::Number}, {"weight", T::Number}, {"wsheetno", T::Text}}), {}});
    t.append({"matuse", "material used by a process step",
              cols({{"proch_id", T::Integer}, {"scno", T::Text}, {"gongxu_code", T::Text},
                    {"changhao", T::Text}, {"mcode", T::Text}, {"waycode", T::Text},
                    {"sqtycal", T::Number}, {"sqtyref", T::Number}}), {}});
    t.append({"material", "material: metal (GOLD, PT) with purity, or STONE",
              cols({{"mcode", T::Text}, {"mtype", T::Text}, {"purate", T::Number}}), {"mcode"}});
    t.append({"work_report", "worker sheet line: issued, finished (FIN) or pending (PEN)",
              cols({{"lsh", T::Id}, {"scno", T::Text}, {"gongxu", T::Text}, {"changhao", T::Text},
                    {"xingming", T::Text}, {"wsheetno", T::Text}, {"cust", T::Text},
                    {"article_code", T::Text}, {"product_name", T::Text}, {"metal", T::Text},
                    {"mcode", T::Text}, {"del_date", T::DateTime}, {"fin_date", T::DateTime},
                    {"ldate", T::DateTime}, {"sdata", T::DateTime}, {"zt", T::Text},
                    {"iss_pcs", T::Number}, {"iss_weight", T::Number}, {"fin_pcs", T::Number},
                    {"fin_weight", T::Number}, {"pen_pcs", T::Number}, {"pen_weight", T::Number},
                    {"ret_weight", T::Number}, {"loss", T::Number}, {"bz", T::Text}}), {}});
    return t;
}

// Material moved between stocks, cast for and issued to contracts.
QList<TableDef> materialTables()
{
    QList<TableDef> t;
    t.append({"jcjl_mattran", "material transfer from stock fcode to stock tcode (BEGIN issued, FINISH finished)",
              cols({{"mattran_no", T::Text}, {"scno", T::Text}, {"ldate", T::DateTime}, {"zt", T::Text},
                    {"fcode", T::Text}, {"tcode", T::Text}, {"mcode", T::Text}, {"zmcode", T::Text},
                    {"hcode", T::Text}, {"lotno", T::Text}, {"metal", T::Text}, {"qtycal", T::Number},
                    {"qtyref", T::Number}, {"fpcs", T::Number}, {"fweight", T::Number},
                    {"freturn", T::Number}, {"loss", T::Number}, {"gonghao", T::Text}, {"name", T::Text},
                    {"client_no", T::Text}, {"custom", T::Text}, {"product_name", T::Text},
                    {"style_no", T::Text}, {"inputname", T::Text}, {"modifyname", T::Text}}), {}});
    t.append({"jcjl_wlly", "material by origin",
              cols({{"wlly", T::Text}, {"mcode", T::Text}, {"zmcode", T::Text}, {"qtyref", T::Number}}), {}});
    t.append({"castind", "casting line: metal cast for a contract",
              cols({{"castind_id", T::Id}, {"castinh_no", T::Text}, {"contractno", T::Text},
                    {"mcode", T::Text}, {"hcode", T::Text}, {"lotno", T::Text}, {"ldate", T::DateTime},
                    {"qtycal", T::Number}, {"qtyref", T::Number}, {"loss", T::Number},
                    {"puwithloss", T::Number}}), {}});
    t.append({"cumind", "material issued to a contract, summed",
              cols({{"contractno", T::Text}, {"mcode", T::Text}, {"qtycal", T::Number}}), {}});
    return t;
}

// Departments: their daily summary, process codes and stock codes.
QList<TableDef> departmentTables()
{
    QList<TableDef> t;
    t.append({"day_wip", "daily summary, one row per production department",
              cols({{"dep_c", T::Text}, {"dep_e", T::Text}, {"today_fin", T::Number},
                    {"today_tot", T::Number}, {"today_set", T::Number}, {"month_set", T::Number},
                    {"wip", T::Number}, {"ldate", T::DateTime}}), {"dep_c"}});
    t.append({"gongxu", "process codes (a code may be listed more than once)",
              cols({{"gongxu_code", T::Text}, {"gongxu_name", T::Text}}), {}});
    t.append({"stock", "stock codes: stores and departments' issue-and-receipt desks",
              cols({{"stock_code", T::Text}, {"stock_name", T::Text}}), {"stock_code"}});
    return t;
}

// Stones received, needed and set per contract or article.
QList<TableDef> stoneTables()
{
    QList<TableDef> t;
    t.append({"stonein", "stones received for a contract",
              cols({{"scno", T::Text}, {"stonein", T::Number}}), {}});
    t.append({"stoneneed", "stones one piece of an article needs",
              cols({{"article_code", T::Text}, {"stoneneed", T::Number}}), {}});
    t.append({"need_stone", "setting status by setting method for a period",
              cols({{"lshid", T::Integer}, {"bt", T::Text}, {"name", T::Text}, {"baox", T::Number},
                    {"dingx", T::Number}, {"gqx", T::Number}, {"hzx", T::Number}, {"bix", T::Number},
                    {"tzx", T::Number}, {"zdx", T::Number}, {"zx", T::Number}, {"wbx", T::Number},
                    {"nx", T::Number}, {"fromdate", T::DateTime}, {"todate", T::DateTime}}), {"lshid"}});
    t.append({"stissdate", "first and latest stone issue date of a contract",
              cols({{"scno", T::Text}, {"startdate", T::DateTime}, {"latestdate", T::DateTime}}), {}});
    return t;
}

// What workers return and hold, and the working tables reports fill.
QList<TableDef> workerTables()
{
    QList<TableDef> t;
    t.append({"flreturn", "material a worker returned against a worker sheet",
              cols({{"wsheetno", T::Text}, {"scno", T::Text}, {"gongxu_code", T::Text},
                    {"changhao", T::Text}, {"client", T::Text}, {"mcode", T::Text}, {"zmcode", T::Text},
                    {"pcs", T::Number}, {"weight", T::Number}, {"ldate", T::DateTime}}), {}});
    for (const char *name : {"wip_finish", "wip_iss", "wip_return"})
        t.append({QString::fromLatin1(name), "pieces and weight per contract (working table)",
                  cols({{"scno", T::Text}, {"cust", T::Text}, {"pcs", T::Number}, {"weight", T::Number}}), {}});
    t.append({"work_wip", "a worker's open work sheet",
              cols({{"worksheet", T::Text}, {"scno", T::Text}, {"gongxu_code", T::Text},
                    {"changhao", T::Text}, {"xingming", T::Text}, {"name", T::Text}, {"cust_no", T::Text},
                    {"pcs", T::Number}, {"weight", T::Number}, {"sttime", T::DateTime},
                    {"deltime", T::DateTime}, {"bz", T::Text}}), {}});
    for (const char *name : {"spl_fil_wipp", "spl_set_wipp", "spl_fin_wipp", "spl_pol_wipp"})
        t.append({QString::fromLatin1(name), "special work in hand per contract: with workers, at the desk",
                  cols({{"scno", T::Text}, {"wip", T::Number}, {"isshand", T::Number},
                        {"pending", T::Number}}), {}});
    return t;
}

// Users, their rights, and the trail of changes they made.
QList<TableDef> userTables()
{
    QList<TableDef> t;
    t.append({"users", "a user of the application with a salted password hash; active 0: disabled "
                       "(never deleted: the audit trail names users), must_change 1: the password was "
                       "set by someone else and is changed at the next login (NULL in either: no)",
              cols({{"user_code", T::Text}, {"user_name", T::Text}, {"password_hash", T::Text},
                    {"active", T::Integer}, {"must_change", T::Integer}}),
              {"user_code"}});
    t.append({"rights", "a user's rights text for a module and function",
              cols({{"user_code", T::Text}, {"module", T::Text}, {"function", T::Text},
                    {"rights", T::Text}}), {"user_code", "module", "function"}});
    t.append({"audit_log", "one changed field of a progress record, contract header, user or rights "
                           "text: when, who, from which window or command; written with the change, never edited",
              cols({{"audit_id", T::Id}, {"changed_at", T::DateTime}, {"user_code", T::Text},
                    {"source", T::Text}, {"scno", T::Text}, {"scond_id", T::Integer}, {"field", T::Text},
                    {"old_value", T::Text}, {"new_value", T::Text}}), {}});
    return t;
}

// The columns version 3 added to existing tables: a user can be disabled and
// made to change a password someone else set, and the reference data's names,
// units, hallmarks, active flags and audit keys (ReferenceSchema).
QList<AddedColumn> columnsOfVersion3()
{
    QList<AddedColumn> list{{3, "users", "active"}, {3, "users", "must_change"}};
    for (const ReferenceSchema::AddedColumn &added : ReferenceSchema::addedColumns())
        list.append({3, added.table, added.column.name});
    return list;
}

// The line numbers of version 3: each contract line keeps the number its bag
// ticket carries (scond.line_no, given when the line is made), and each
// contract the number its next line gets (sconh.next_line_no), so that no
// number is given twice, not even after the last line is deleted.
QList<AddedColumn> lineNumberColumnsOfVersion3()
{
    return {{3, "sconh", "next_line_no"}, {3, "scond", "line_no"}};
}

// The columns of the department desk (DeskSchema), also of version 3.
QList<AddedColumn> deskColumnsOfVersion3()
{
    QList<AddedColumn> list;
    for (const DeskSchema::AddedColumn &added : DeskSchema::addedColumns())
        list.append({3, added.table, added.column.name});
    return list;
}

// The days a department's supervisor has closed (version 4): one row per
// closing, never deleted. A day stands closed while a row of it has no
// reopened_at; reopening fills reopened_by and reopened_at, and closing it
// again adds a row, so the rows are the history of the day.
QList<TableDef> closedDayTables()
{
    return {{"closed_day",
             "a department's day closed by its supervisor: dept the desk's caption (执模), day the calendar day "
             "(00:00:00), closed_by/closed_at who closed it and when, reopened_by/reopened_at the administrator "
             "who opened it again and when (NULL while it stays closed)",
             cols({{"closed_day_id", T::Id}, {"dept", T::Text}, {"day", T::DateTime}, {"closed_by", T::Text},
                   {"closed_at", T::DateTime}, {"reopened_by", T::Text}, {"reopened_at", T::DateTime}}),
             {}}};
}

// The column the desk added in version 4: when a transfer was received.
QList<AddedColumn> deskColumnsOfVersion4()
{
    QList<AddedColumn> list;
    for (const DeskSchema::AddedColumn &added : DeskSchema::addedColumnsOfVersion4())
        list.append({4, added.table, added.column.name});
    return list;
}

// Every table, in the order they are created.
QList<TableDef> makeTables()
{
    QList<TableDef> t;
    t.append({"wip_schema", "the version of the Wip schema this database holds (one row)",
              cols({{"version", T::Integer}}), {}});
    t += contractTables();
    t += workStepTables();
    t += materialTables();
    t += departmentTables();
    t += stoneTables();
    t += workerTables();
    t += userTables();
    t += ReferenceSchema::tables();
    t += DeskSchema::tables();
    t += closedDayTables();
    t += LossSchema::tables();
    t += MetalLedger::tables();
    for (const ReferenceSchema::AddedColumn &added : ReferenceSchema::addedColumns()) {
        for (TableDef &table : t) {
            if (table.name == added.table)
                table.columns.append(added.column);
        }
    }
    for (const DeskSchema::AddedColumn &added : DeskSchema::addedColumns() + DeskSchema::addedColumnsOfVersion4()) {
        for (TableDef &table : t) {
            if (table.name == added.table)
                table.columns.append(added.column);
        }
    }
    return t;
}

QList<IndexDef> makeIndexes()
{
    const QList<IndexDef> list{
        // A contract and its lines by number, with what NEW WIP (d_wip_all)
        // shows of them: its open steps look them up from the index alone.
        {"ix_sconh_scno_cust", "sconh", {"scno", "cust_no", "cust_order", "deldate"}},
        {"ix_sconh_deldate", "sconh", {"deldate"}},
        {"ix_scond_scno_article", "scond", {"scno", "scond_id", "article_code", "metal"}},
        {"ix_artsd_article", "artsd", {"article_code"}},
        {"ix_process_scno", "process", {"scno"}},
        {"ix_proch_gongxu_edtime", "proch", {"gongxu_code", "edtime"}},
        {"ix_proch_edtime", "proch", {"edtime"}},
        {"ix_proch_scno", "proch", {"scno"}},
        {"ix_proch_new_scno", "proch_new", {"scno"}},
        {"ix_matuse_proch", "matuse", {"proch_id"}},
        {"ix_matuse_scno", "matuse", {"scno"}},
        {"ix_castind_ldate", "castind", {"ldate"}},
        {"ix_castind_contract", "castind", {"contractno"}},
        // A stock's transfers of a period, with every column 部门过货统计
        // (d_wip_protran) filters on and shows: its month reads these entries,
        // side by side, instead of a table page for each transfer.
        {"ix_jcjl_mattran_fcode_month", "jcjl_mattran",
         {"fcode", "ldate", "tcode", "zmcode", "mcode", "mattran_no", "scno", "product_name", "style_no", "qtycal",
          "qtyref", "inputname", "modifyname"}},
        {"ix_jcjl_mattran_no", "jcjl_mattran", {"mattran_no"}},
        {"ix_jcjl_mattran_scno", "jcjl_mattran", {"scno"}},
        {"ix_work_report_zt_ldate", "work_report", {"zt", "ldate"}},
        {"ix_flreturn_wsheetno", "flreturn", {"wsheetno"}},
        {"ix_gongxu_code", "gongxu", {"gongxu_code"}},
        {"ix_cumind_contract", "cumind", {"contractno"}},
        {"ix_audit_log_scno", "audit_log", {"scno", "changed_at"}},
        {"ix_closed_day_dept_day", "closed_day", {"dept", "day"}},
    };
    return list + ReferenceSchema::indexes() + DeskSchema::indexes() + LossSchema::indexes();
}

// The first (lowest) article of each contract: the style the contract is made in.
// Views that show one article per contract use it so that a contract with several
// lines is not counted once per line.
const char *orderArticle =
    "(select scno, min(article_code) as article_code from scond group by scno)";

QString deptStockView(const QString &inCol, const QString &outCol)
{
    return QStringLiteral(
               "select h.scno, h.cust_order, h.cust_no, p.%1, p.%2, "
               "coalesce(p.%1, 0) - coalesce(p.%2, 0) as all_total, "
               "h.issdate, h.deldate, oa.article_code, a.pic_name "
               "from sconh h "
               "join process p on p.scno = h.scno "
               "left join %3 oa on oa.scno = h.scno "
               "left join article a on a.article_code = oa.article_code "
               "where coalesce(p.%1, 0) - coalesce(p.%2, 0) <> 0")
        .arg(inCol, outCol, QLatin1String(orderArticle));
}

// Open steps of one department in proch_new, per contract line: with a worker (wip)
// and waiting at the issuing desk without a worker number (isshand), pieces and
// weight. A step without its line (written before steps carried it) counts on
// the contract's first line.
QString wippView(const QString &gongxu)
{
    return QStringLiteral(
               "select scno, line as scond_id, "
               "sum(case when coalesce(changhao, '') <> '' then coalesce(qty, 0) else 0 end) as wip, "
               "sum(case when coalesce(changhao, '') = '' then coalesce(qty, 0) else 0 end) as isshand, "
               "sum(coalesce(qty, 0)) as pending, "
               "sum(case when coalesce(changhao, '') <> '' then coalesce(weight, 0) else 0 end) as wip_wt, "
               "sum(case when coalesce(changhao, '') = '' then coalesce(weight, 0) else 0 end) as isshand_wt, "
               "sum(coalesce(weight, 0)) as pending_wt "
               "from (select scno, changhao, qty, weight, coalesce(scond_id, "
               "(select min(s.scond_id) from scond s where s.scno = proch_new.scno)) as line "
               "from proch_new "
               "where gongxu_code = '%1' and (edtime is null or edtime < '1900-01-02')) o "
               "group by scno, line")
        .arg(gongxu);
}

// What each department holds per contract: received, passed on, still there.
QList<ViewDef> departmentStockViews()
{
    const QString oa = QLatin1String(orderArticle);
    QList<ViewDef> v;
    v.append({"view_bm_wax", "per contract: pieces received and passed on by wax injection, and still there",
              deptStockView("wax_in", "wax_out")});
    v.append({"view_bm_cast", "per contract: pieces received and passed on by casting, and still there",
              deptStockView("casting_in", "casting_out")});
    v.append({"view_bm_dj", "per contract: pieces received and passed on by plating (rhodium), and still there",
              deptStockView("rhodium_in", "rhodium_out")});
    v.append({"view_bm_qc", "per contract: stones received and issued by the stone store, and still there",
              deptStockView("qc_in", "qc_out")});
    v.append({"view_bm_outside",
              "per contract: pieces given out to outside work (steps whose code holds 外发), "
              "those back (finished steps), and those still out",
              QStringLiteral(
                  "select h.scno, h.cust_order, h.cust_no, o.outside_in, o.outside_out, "
                  "o.outside_in - o.outside_out as all_total, h.issdate, h.deldate, "
                  "oa.article_code, a.pic_name "
                  "from sconh h "
                  "join (select scno, sum(coalesce(qty, 0)) as outside_in, "
                  "sum(case when edtime is not null then coalesce(qty, 0) else 0 end) as outside_out "
                  "from proch where gongxu_code like '%外发%' group by scno) o on o.scno = h.scno "
                  "left join %1 oa on oa.scno = h.scno "
                  "left join article a on a.article_code = oa.article_code "
                  "where o.outside_in - o.outside_out <> 0").arg(oa)});
    return v;
}

// Work in hand of the departments that work on worker sheets with weights.
QList<ViewDef> workInHandViews()
{
    QList<ViewDef> v;
    v.append({"view_fil_wipp", "filing (04-执模): open pieces and weight per contract line with workers, at the desk, together",
              wippView("04-执模")});
    v.append({"view_set_wipp", "stone setting (06-镶石): open pieces and weight per contract line with workers, at the desk, together",
              wippView("06-镶石")});
    v.append({"view_fin_wipp", "finishing (07-执边): open pieces and weight per contract line with workers, at the desk, together",
              wippView("07-执边")});
    v.append({"view_pol_wipp", "polishing (08-打磨): open pieces and weight per contract line with workers, at the desk, together",
              wippView("08-打磨")});
    return v;
}

// Open process steps: with their contract, their worker, their setting methods.
QList<ViewDef> openStepViews()
{
    const QString oa = QLatin1String(orderArticle);
    QList<ViewDef> v;
    v.append({"view_gongxu_wip", "open process steps (proch, edtime NULL) with their contract's customer and delivery date",
              QStringLiteral(
                  "select p.proch_id, p.scno, p.gongxu_code, p.changhao, p.xingming, p.sttime, p.qty, "
                  "p.wsheetno, h.cust_no, h.cust_order, h.deldate, oa.article_code "
                  "from proch p "
                  "left join sconh h on h.scno = p.scno "
                  "left join %1 oa on oa.scno = p.scno "
                  "where p.edtime is null").arg(oa)});
    v.append({"view_work_notfinish", "workers' unfinished steps (proch, edtime NULL) with the contract's delivery date",
              "select p.wsheetno, p.scno, p.gongxu_code as gongxu_cod, p.changhao, p.xingming, p.qty, "
              "p.sttime, h.cust_no, h.cust_order, h.deldate "
              "from proch p join sconh h on h.scno = p.scno "
              "where p.edtime is null"});
    v.append({"view_wip_waycode", "open steps with the setting methods of the stones they use: "
                                  "one row per step and setting method, the step's pieces on the row "
                                  "of its first method only (so they add up once) and the stones of "
                                  "each method on its own row",
              QStringLiteral(
                  "select p.changhao as gonghao, p.xingming as name, "
                  "case when m.waycode = f.first_way then p.qty end as qty, p.scno, oa.article_code, "
                  "m.waycode as way_code, m.stones "
                  "from proch p "
                  "join (select proch_id, waycode, sum(coalesce(sqtycal, 0)) as stones from matuse "
                  "where waycode is not null and waycode <> '' group by proch_id, waycode) m "
                  "on m.proch_id = p.proch_id "
                  "join (select proch_id, min(waycode) as first_way from matuse "
                  "where waycode is not null and waycode <> '' group by proch_id) f on f.proch_id = p.proch_id "
                  "left join %1 oa on oa.scno = p.scno "
                  "where p.edtime is null").arg(oa)});
    return v;
}

// Stones set and stones needed per contract, and those in the stone store.
QList<ViewDef> stoneViews()
{
    const QString oa = QLatin1String(orderArticle);
    QList<ViewDef> v;
    v.append({"view_day_wip", "stones set: per finished stone-setting step (06-镶石) and stone of the "
                              "contract's article, stones per piece times pieces set, on the step's finish date",
              QStringLiteral(
                  "select p.scno, oa.article_code, s.settype_code, s.qtycal, p.qty as quantity, "
                  "s.qtycal * p.qty as all_total, p.edtime as edate "
                  "from proch p "
                  "join %1 oa on oa.scno = p.scno "
                  "join artsd s on s.article_code = oa.article_code "
                  "where p.gongxu_code = '06-镶石' and p.edtime is not null "
                  "and coalesce(s.stone_code, '') <> 'INIST'").arg(oa)});
    v.append({"view_stone_need", "stones each contract line needs: stones per piece times the line's pieces",
              "select h.scno, h.cust_no, d.article_code, s.stone_code, s.settype_code, s.qtycal, "
              "d.quantity, s.qtycal * d.quantity as need_qty, h.deldate "
              "from sconh h "
              "join scond d on d.scno = h.scno "
              "join artsd s on s.article_code = d.article_code "
              "where coalesce(s.stone_code, '') <> 'INIST'"});
    v.append({"view_stone_wip_inhand",
              "stones of a contract received into the stone store (02-石仓收发), issued from it, and still there",
              QStringLiteral(
                  "select t.scno, h.cust_no as client, oa.article_code, t.mcode, t.zmcode, t.recpcs, "
                  "t.isspcs, t.recpcs - t.isspcs as isshand, y.arttype_name, a.pic_name "
                  "from (select m.scno, m.mcode, m.zmcode, "
                  "sum(case when m.tcode = '02-石仓收发' then coalesce(m.qtycal, 0) else 0 end) as recpcs, "
                  "sum(case when m.fcode = '02-石仓收发' then coalesce(m.qtycal, 0) else 0 end) as isspcs "
                  "from jcjl_mattran m join material mt on mt.mcode = m.mcode "
                  "where mt.mtype = 'STONE' and (m.tcode = '02-石仓收发' or m.fcode = '02-石仓收发') "
                  "group by m.scno, m.mcode, m.zmcode) t "
                  "left join sconh h on h.scno = t.scno "
                  "left join %1 oa on oa.scno = t.scno "
                  "left join article a on a.article_code = oa.article_code "
                  "left join arttype y on y.arttype_code = a.arttype_code "
                  "where t.recpcs - t.isspcs <> 0").arg(oa)});
    return v;
}

// Every view, in the order they are created.
QList<ViewDef> makeViews()
{
    QList<ViewDef> v;
    v.append({"view_no_finish_product",
              "contracts whose goods are not finished yet: no invoice number (NULL or empty)",
              "select distinct scno from sconh where inv_no is null or inv_no = ''"});
    v += departmentStockViews();
    v += workInHandViews();
    v += openStepViews();
    v += stoneViews();
    v.append(OrderStanding::view());
    v += LossSchema::views();
    return v;
}

} // namespace

const ColumnDef *TableDef::column(const QString &n) const
{
    for (const ColumnDef &c : columns)
        if (c.name.compare(n, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

QString TableDef::idColumn() const
{
    for (const ColumnDef &c : columns)
        if (c.type == ColumnType::Id)
            return c.name;
    return {};
}

const QList<TableDef> &Schema::tables()
{
    static const QList<TableDef> list = makeTables();
    return list;
}

const QList<ViewDef> &Schema::views()
{
    static const QList<ViewDef> list = makeViews();
    return list;
}

const QList<IndexDef> &Schema::indexes()
{
    static const QList<IndexDef> list = makeIndexes();
    return list;
}

const QStringList &Schema::retiredIndexes()
{
    // The transfers' state alone: SQLite chose it over the transfer's number
    // and read every open transfer to finish one (ix_jcjl_mattran_zt_no now).
    // The metal balance's covering indexes of the steps, transfers and desk rows
    // (ix_work_report_balance, ix_jcjl_mattran_balance, ix_proch_new_held):
    // it reads the metal ledger instead, and every desk action wrote them.
    // A stock's transfers by date, the open steps of a process by date and for
    // 倒模's desk, the contracts and their lines by number: the covering indexes
    // that begin with the same columns (ix_jcjl_mattran_fcode_month,
    // ix_proch_new_open, ix_sconh_scno_cust, ix_scond_scno_article) serve what
    // they served.
    static const QStringList list = {
        QStringLiteral("ix_jcjl_mattran_zt"),          QStringLiteral("ix_work_report_balance"),
        QStringLiteral("ix_jcjl_mattran_balance"),     QStringLiteral("ix_proch_new_held"),
        QStringLiteral("ix_jcjl_mattran_fcode_ldate"), QStringLiteral("ix_proch_new_gongxu_edtime"),
        QStringLiteral("ix_proch_new_desk"),           QStringLiteral("ix_sconh_scno"),
        QStringLiteral("ix_scond_scno"),
    };
    return list;
}

const QList<AddedColumn> &Schema::addedColumns()
{
    static const QList<AddedColumn> list = columnsOfVersion3() + lineNumberColumnsOfVersion3() + deskColumnsOfVersion3()
        + deskColumnsOfVersion4();
    return list;
}

const TableDef *Schema::table(const QString &name)
{
    for (const TableDef &t : tables())
        if (t.name.compare(name, Qt::CaseInsensitive) == 0)
            return &t;
    return nullptr;
}

QStringList Schema::tableNames()
{
    QStringList names;
    for (const TableDef &t : tables())
        names << t.name;
    return names;
}

QStringList Schema::viewNames()
{
    QStringList names;
    for (const ViewDef &v : views())
        names << v.name;
    return names;
}

QString Schema::columnTypeSql(ColumnType type, DbKind kind)
{
    const bool pg = kind == DbKind::PostgreSQL;
    switch (type) {
    case ColumnType::Id:
        return pg ? QStringLiteral("integer generated by default as identity primary key")
                  : QStringLiteral("INTEGER PRIMARY KEY");
    case ColumnType::Text:
        return pg ? QStringLiteral("text") : QStringLiteral("TEXT");
    case ColumnType::Integer:
        return pg ? QStringLiteral("integer") : QStringLiteral("INTEGER");
    case ColumnType::Number:
        return pg ? QStringLiteral("numeric(18,3)") : QStringLiteral("NUMERIC");
    case ColumnType::DateTime:
        return pg ? QStringLiteral("timestamp") : QStringLiteral("TEXT");
    }
    return {};
}

QString Schema::createTableSql(const TableDef &table, DbKind kind)
{
    QStringList parts;
    for (const ColumnDef &c : table.columns)
        parts << c.name + u' ' + columnTypeSql(c.type, kind);
    if (!table.primaryKey.isEmpty())
        parts << QStringLiteral("primary key (%1)").arg(table.primaryKey.join(QStringLiteral(", ")));
    return QStringLiteral("create table %1 (%2)").arg(table.name, parts.join(QStringLiteral(", ")));
}

QString Schema::createIndexSql(const IndexDef &index)
{
    return QStringLiteral("create index %1 on %2 (%3)")
        .arg(index.name, index.table, index.columns.join(QStringLiteral(", ")));
}

QString Schema::createViewSql(const ViewDef &view)
{
    return QStringLiteral("create view %1 as %2").arg(view.name, view.sql);
}

QString Schema::addColumnSql(const AddedColumn &added, DbKind kind)
{
    const TableDef *t = table(added.table);
    const ColumnDef *c = t ? t->column(added.column) : nullptr;
    if (!c)
        return {};
    return QStringLiteral("alter table %1 add column %2 %3").arg(t->name, c->name, columnTypeSql(c->type, kind));
}

QStringList Schema::createStatements(DbKind kind)
{
    QStringList s;
    for (const TableDef &t : tables())
        s << createTableSql(t, kind);
    for (const IndexDef &i : indexes())
        s << createIndexSql(i);
    for (const ViewDef &v : views())
        s << createViewSql(v);
    return s;
}

} // namespace wip
