#include "database/metalledger.h"

#include <QSqlError>
#include <QSqlQuery>

namespace wip {
namespace {

const char *const ledgerTable = "metal_day";
const QStringList keyColumns = {"flow", "gongxu", "holder", "peer", "mcode", "day"};

// One flow of metal: a source table, which of its rows count, their key, and
// what a row counts when it opens and when it closes. Texts are SQL over the
// row alias `a` (a trigger's new or old, or the table in a rebuild); %M in
// `mcode` is the metal, for the desk rows the contract line's.
struct Flow
{
    const char *code;
    const char *table;
    QStringList watched;           // the columns whose change changes the counts
    QString rows;                  // which rows count
    QString gongxu, holder, peer, mcode, name;
    QString openDay;
    QList<QPair<QString, QString>> opens;    // column, amount
    QString closes;                // which rows have closed
    QString closeDay;
    QList<QPair<QString, QString>> closings;
};

QString nonZero(const QStringList &amounts)
{
    QStringList parts;
    for (const QString &a : amounts)
        parts << QStringLiteral("coalesce(a.%1, 0) <> 0").arg(a);
    return QStringLiteral("case when %1 then 1 else 0 end").arg(parts.join(QStringLiteral(" or ")));
}

QString grams(const char *column)
{
    return QStringLiteral("coalesce(a.%1, 0)").arg(QLatin1String(column));
}

const QList<Flow> &flows()
{
    static const QList<Flow> list = [] {
        QList<Flow> f;
        // A worker's sheet line: issued on sdata, settled (FIN) on ldate; wax
        // (唧蜡) holds no metal.
        f.append({"L", "work_report",
                  {"scond_id", "gongxu", "changhao", "xingming", "mcode", "zt", "sdata", "ldate", "iss_weight",
                   "back_weight", "fin_weight", "ret_weight", "loss"},
                  "a.scond_id is not null and a.gongxu is not null and a.gongxu <> '01-唧腊' and a.sdata is not null "
                  "and (a.zt = 'PEN' or (a.zt = 'FIN' and a.ldate is not null))",
                  "a.gongxu", "coalesce(a.changhao, '')", "''", "coalesce(a.mcode, '')", "a.xingming",
                  "a.sdata",
                  {{"s_iss", grams("iss_weight")}, {"s_back", grams("back_weight")},
                   {"s_nz", nonZero({"iss_weight", "back_weight"})}},
                  "a.zt = 'FIN'", "a.ldate",
                  {{"e_iss", grams("iss_weight")}, {"e_back", grams("back_weight")}, {"e_fin", grams("fin_weight")},
                   {"e_ret", grams("ret_weight")}, {"e_loss", grams("loss")},
                   {"e_nz", nonZero({"iss_weight", "back_weight"})},
                   {"e_nzf", nonZero({"fin_weight", "ret_weight", "loss"})},
                   {"e_nzb", nonZero({"fin_weight", "back_weight"})}}});
        // A transfer between stocks: sent on ldate, received (FINISH) on fdate,
        // or on ldate in rows written before fdate was kept. The worker's own
        // stock (11-工人在做仓) is the sheet lines' business.
        f.append({"T", "jcjl_mattran",
                  {"scond_id", "fcode", "tcode", "gonghao", "name", "mcode", "zt", "ldate", "fdate", "qtyref", "fweight"},
                  "a.scond_id is not null and a.tcode is not null and a.tcode <> '11-工人在做仓' "
                  "and a.ldate is not null and a.zt in ('BEGIN', 'FINISH')",
                  "coalesce(a.fcode, '')", "coalesce(a.gonghao, '')", "a.tcode", "coalesce(a.mcode, '')", "a.name",
                  "a.ldate",
                  {{"s_iss", grams("qtyref")}, {"s_nz", nonZero({"qtyref"})}},
                  "a.zt = 'FINISH'", "coalesce(a.fdate, a.ldate)",
                  {{"e_iss", grams("qtyref")}, {"e_fin", grams("fweight")}, {"e_nz", nonZero({"qtyref"})},
                   {"e_nzf", nonZero({"fweight"})}}});
        // What a department's desk holds, from sttime to edtime, in the metal of
        // the bag's line. At 倒模 a bag is wax until it is cast, which the
        // report asks of the casting rows when it reads the desk there.
        f.append({"H", "proch_new",
                  {"scond_id", "changhao", "gongxu_code", "sttime", "edtime", "weight"},
                  "coalesce(a.changhao, '') = '' and a.gongxu_code is not null "
                  "and a.gongxu_code not in ('01-唧腊', '03-倒模') and a.sttime is not null",
                  "a.gongxu_code", "''", "''", "coalesce(%M, '')", "null",
                  "a.sttime",
                  {{"s_iss", grams("weight")}, {"s_nz", nonZero({"weight"})}},
                  "a.edtime is not null", "a.edtime",
                  {{"e_iss", grams("weight")}, {"e_nz", nonZero({"weight"})}}});
        return f;
    }();
    return list;
}

const QString lineMetal = QStringLiteral("(select s.metal from scond s where s.scond_id = a.scond_id)");

QString dayOf(const QString &moment, DbKind kind)
{
    return kind == DbKind::PostgreSQL ? QStringLiteral("date_trunc('day', %1)").arg(moment)
                                      : QStringLiteral("substr(%1, 1, 10) || ' 00:00:00'").arg(moment);
}

bool isCount(const QString &column)
{
    return column.endsWith(QLatin1String("nz")) || column.endsWith(QLatin1String("nzf"))
        || column.endsWith(QLatin1String("nzb"));
}

// The values of one event of a row (its opening or its closing) in the table's
// column order, over alias `alias`, each amount times `sign`.
QStringList eventValues(const Flow &f, bool opening, const QString &alias, int sign, const QString &metal,
                        DbKind kind)
{
    const auto over = [&](QString sql) {
        return sql.replace(QLatin1String("%M"), metal).replace(QLatin1String("a."), alias + QLatin1Char('.'));
    };
    QStringList v = {QStringLiteral("'%1'").arg(QLatin1String(f.code)), over(f.gongxu), over(f.holder),
                     over(f.peer), over(f.mcode), over(dayOf(opening ? f.openDay : f.closeDay, kind)), over(f.name)};
    const auto &amounts = opening ? f.opens : f.closings;
    for (const QString &column : MetalLedger::amountColumns()) {
        QString value = QStringLiteral("0");
        for (const auto &a : amounts) {
            if (a.first == column)
                value = over(a.second);
        }
        v << (sign < 0 && value != QLatin1String("0") ? QStringLiteral("-(%1)").arg(value) : value);
    }
    return v;
}

// Which rows of the flow have the event. A desk row counts once its bag's
// contract line is there (rows may come before their line in a bulk load: the
// line's own trigger then counts them), except in the line's own triggers.
QString eventCondition(const Flow &f, bool opening, const QString &alias, const QString &metal, bool lineKnown = false)
{
    QString sql = opening ? f.rows : QStringLiteral("(%1) and %2").arg(f.rows, f.closes);
    if (QLatin1String(f.code) == QLatin1String("H") && !lineKnown)
        sql += QStringLiteral(" and exists (select 1 from scond s where s.scond_id = a.scond_id)");
    return sql.replace(QLatin1String("%M"), metal).replace(QLatin1String("a."), alias + QLatin1Char('.'));
}

QStringList allColumns()
{
    return keyColumns + QStringList{QStringLiteral("holder_name")} + MetalLedger::amountColumns();
}

// "on conflict": the row of the key takes the amounts added; the name kept is
// the greatest seen.
QString addToRow()
{
    QStringList set = {QStringLiteral(
        "holder_name = case when excluded.holder_name is not null and (metal_day.holder_name is null "
        "or excluded.holder_name > metal_day.holder_name) then excluded.holder_name else metal_day.holder_name end")};
    for (const QString &c : MetalLedger::amountColumns()) {
        set << (isCount(c) ? QStringLiteral("%1 = metal_day.%1 + excluded.%1").arg(c)
                           : QStringLiteral("%1 = round(metal_day.%1 + excluded.%1, 3)").arg(c));
    }
    return QStringLiteral(" on conflict (%1) do update set %2").arg(keyColumns.join(QStringLiteral(", ")),
                                                                   set.join(QStringLiteral(", ")));
}

QString insertHead()
{
    return QStringLiteral("insert into %1 (%2) ").arg(QLatin1String(ledgerTable), allColumns().join(QStringLiteral(", ")));
}

// One row's event added (sign 1) or taken away (-1) in a trigger.
QString rowEvent(const Flow &f, bool opening, const QString &alias, int sign, DbKind kind)
{
    const QString metal = QString(lineMetal).replace(QLatin1String("a."), alias + QLatin1Char('.'));
    return insertHead() + QStringLiteral("select ")
        + eventValues(f, opening, alias, sign, metal, kind).join(QStringLiteral(", ")) + QStringLiteral(" where ")
        + eventCondition(f, opening, alias, metal) + addToRow();
}

// The statements of a trigger on the flow's table: the old row's events taken
// away, the new row's added.
QStringList rowStatements(const Flow &f, bool withOld, bool withNew, DbKind kind)
{
    QStringList s;
    for (bool opening : {true, false}) {
        if (withOld)
            s << rowEvent(f, opening, QStringLiteral("old"), -1, kind);
    }
    for (bool opening : {true, false}) {
        if (withNew)
            s << rowEvent(f, opening, QStringLiteral("new"), 1, kind);
    }
    return s;
}

// A contract line counts the desk rows of its bags in its metal: when it is
// made (after its rows, in a bulk load), when its metal changes (from the old
// to the new), and when it is deleted. `alias` is the line (old or new).
QStringList lineStatements(const QString &alias, int sign, DbKind kind)
{
    const Flow &held = flows().at(2);
    const QString metal = alias + QStringLiteral(".metal");
    QStringList s;
    for (bool opening : {true, false}) {
        const QStringList values = eventValues(held, opening, QStringLiteral("a"), sign, metal, kind);
        const QStringList columns = allColumns();
        QStringList inner;
        for (qsizetype i = 0; i < values.size(); ++i)
            inner << values.at(i) + QStringLiteral(" as ") + columns.at(i);
        QStringList outer = keyColumns;
        outer << QStringLiteral("max(holder_name)");
        for (const QString &c : MetalLedger::amountColumns())
            outer << QStringLiteral("sum(%1)").arg(c);
        s << insertHead() + QStringLiteral("select ") + outer.join(QStringLiteral(", "))
                 + QStringLiteral(" from (select ") + inner.join(QStringLiteral(", "))
                 + QStringLiteral(" from proch_new a where a.scond_id = %1.scond_id and ").arg(alias)
                 + eventCondition(held, opening, QStringLiteral("a"), metal, true) + QStringLiteral(") e group by ")
                 + keyColumns.join(QStringLiteral(", ")) + addToRow();
    }
    return s;
}

// Flow 'C': the metal a bag brings to 倒模's desk when it is cast without a
// casting batch: its first lines at 倒模 (those of the earliest sdata), unless
// a casting batch of the bag had ended by then (and not been reversed by
// then: a step of the batch with its pieces negated). Which lines are first depends
// on the bag's other lines, so it cannot be counted row by row: metal_cast
// keeps what each bag counts now, and a change of one of its lines or batches
// counts the bag again (take its rows away, count it afresh, add them back).
// That holds whichever order the rows change in, and however often a bag is
// counted in one statement.
const char *const castTable = "metal_cast";

// The rows of metal_cast of the bags `where` picks (over alias r), counted
// from their lines and batches.
QString castSelect(const QString &where, DbKind kind)
{
    return QStringLiteral(
               "select r.scond_id, coalesce(r.mcode, '') as mcode, %1 as day, "
               "round(sum(coalesce(r.iss_weight, 0)), 3) as iss, round(sum(coalesce(r.back_weight, 0)), 3) as back, "
               "sum(case when coalesce(r.iss_weight, 0) <> 0 then 1 else 0 end) as iss_nz, "
               "sum(case when coalesce(r.back_weight, 0) <> 0 then 1 else 0 end) as back_nz "
               "from work_report r where %2 and r.gongxu = '03-倒模' and r.sdata is not null "
               "and not exists (select 1 from work_report c where c.scond_id = r.scond_id and c.gongxu = '03-倒模' "
               "and c.sdata < r.sdata) "
               "and not exists (select 1 from proch p where p.scond_id = r.scond_id and p.gongxu_code = '03-倒模' "
               "and p.memo = '铸造批' and coalesce(p.qty, 0) >= 0 and p.edtime <= r.sdata "
               "and not exists (select 1 from proch q where q.scond_id = p.scond_id and q.gongxu_code = '03-倒模' "
               "and q.memo = '铸造批' and q.wsheetno = p.wsheetno and q.qty < 0 and q.edtime <= r.sdata)) "
               "group by r.scond_id, coalesce(r.mcode, ''), %1")
        .arg(dayOf(QStringLiteral("r.sdata"), kind), where);
}

// metal_cast's rows (alias m) as rows of metal_day, each amount times `sign`:
// s_iss and s_back the grams, s_nz and e_nz the lines with issued and with
// taken-back grams.
QString castAsLedger(const QString &from, int sign)
{
    const QString neg = sign < 0 ? QStringLiteral("-") : QString();
    QStringList v = {QStringLiteral("'C'"), QStringLiteral("'03-倒模'"), QStringLiteral("''"), QStringLiteral("''"),
                     QStringLiteral("m.mcode"), QStringLiteral("m.day"), QStringLiteral("null")};
    for (const QString &c : MetalLedger::amountColumns()) {
        const QString source = c == QLatin1String("s_iss") ? QStringLiteral("iss")
            : c == QLatin1String("s_back")                  ? QStringLiteral("back")
            : c == QLatin1String("s_nz")                    ? QStringLiteral("iss_nz")
            : c == QLatin1String("e_nz")                    ? QStringLiteral("back_nz")
                                                            : QString();
        v << (source.isEmpty() ? QStringLiteral("0") : neg + QStringLiteral("m.") + source);
    }
    return QStringLiteral("select %1 from %2").arg(v.join(QStringLiteral(", ")), from);
}

// The bag `scond` (an expression: old.scond_id, new.scond_id) counted again.
QStringList castStatements(const QString &scond, DbKind kind)
{
    const QString mine = QStringLiteral("%1 m where m.scond_id = %2").arg(QLatin1String(castTable), scond);
    return {insertHead() + castAsLedger(mine, -1) + addToRow(),
            QStringLiteral("delete from %1 where scond_id = %2").arg(QLatin1String(castTable), scond),
            QStringLiteral("insert into %1 (scond_id, mcode, day, iss, back, iss_nz, back_nz) ")
                    .arg(QLatin1String(castTable))
                + castSelect(QStringLiteral("r.scond_id = %1").arg(scond), kind),
            insertHead() + castAsLedger(mine, 1) + addToRow()};
}

// What changes which lines and batches count: the tables, the rows of them
// that matter, and the columns.
struct CastSource
{
    const char *table;
    const char *rows;     // over alias a
    QStringList watched;
};

const QList<CastSource> &castSources()
{
    static const QList<CastSource> list = {
        {"work_report", "a.gongxu = '03-倒模' and a.scond_id is not null",
         {"scond_id", "gongxu", "mcode", "sdata", "iss_weight", "back_weight"}},
        {"proch", "a.gongxu_code = '03-倒模' and a.memo = '铸造批' and a.scond_id is not null",
         {"scond_id", "gongxu_code", "memo", "edtime", "qty", "wsheetno"}},
    };
    return list;
}

QString castCondition(const CastSource &c, const QString &alias)
{
    return QString::fromUtf8(c.rows).replace(QLatin1String("a."), alias + QLatin1Char('.'));
}

QString triggerName(const Flow &f, const char *what)
{
    return QStringLiteral("metal_day_%1_%2").arg(QLatin1String(f.table), QLatin1String(what));
}

// Each trigger of the ledger with the table it is on.
QList<QPair<QString, QString>> triggers()
{
    QList<QPair<QString, QString>> list;
    for (const Flow &f : flows()) {
        for (const char *what : {"insert", "update", "delete"})
            list.append({triggerName(f, what), QLatin1String(f.table)});
    }
    for (const char *what : {"insert", "update", "delete"})
        list.append({QStringLiteral("metal_day_scond_%1").arg(QLatin1String(what)), QStringLiteral("scond")});
    for (const CastSource &c : castSources()) {
        for (const char *what : {"insert", "update", "delete"})
            list.append({QStringLiteral("metal_cast_%1_%2").arg(QLatin1String(c.table), QLatin1String(what)),
                         QLatin1String(c.table)});
    }
    return list;
}

QString changed(const QStringList &columns, DbKind kind)
{
    QStringList parts;
    for (const QString &c : columns)
        parts << QStringLiteral("old.%1 is %2 new.%1")
                     .arg(c, kind == DbKind::PostgreSQL ? QStringLiteral("distinct from") : QStringLiteral("not"));
    return parts.join(QStringLiteral(" or "));
}

QStringList sqliteTriggers()
{
    QStringList s;
    const auto trigger = [](const QString &name, const QString &event, const QString &when, const QStringList &body) {
        return QStringLiteral("create trigger %1 after %2%3 begin %4; end")
            .arg(name, event, when.isEmpty() ? QString() : QStringLiteral(" when ") + when,
                 body.join(QStringLiteral("; ")));
    };
    for (const Flow &f : flows()) {
        const QString table = QLatin1String(f.table);
        s << trigger(triggerName(f, "insert"), QStringLiteral("insert on ") + table, {},
                     rowStatements(f, false, true, DbKind::SQLite));
        s << trigger(triggerName(f, "update"),
                     QStringLiteral("update of %1 on %2").arg(f.watched.join(QStringLiteral(", ")), table),
                     changed(f.watched, DbKind::SQLite), rowStatements(f, true, true, DbKind::SQLite));
        s << trigger(triggerName(f, "delete"), QStringLiteral("delete on ") + table, {},
                     rowStatements(f, true, false, DbKind::SQLite));
    }
    const QString oldLine = QStringLiteral("old"), newLine = QStringLiteral("new");
    s << trigger(QStringLiteral("metal_day_scond_insert"), QStringLiteral("insert on scond"), {},
                 lineStatements(newLine, 1, DbKind::SQLite));
    s << trigger(QStringLiteral("metal_day_scond_update"), QStringLiteral("update of metal on scond"),
                 changed({QStringLiteral("metal")}, DbKind::SQLite),
                 lineStatements(oldLine, -1, DbKind::SQLite) + lineStatements(newLine, 1, DbKind::SQLite));
    s << trigger(QStringLiteral("metal_day_scond_delete"), QStringLiteral("delete on scond"), {},
                 lineStatements(oldLine, -1, DbKind::SQLite));
    for (const CastSource &c : castSources()) {
        const QString table = QLatin1String(c.table);
        const QString name = QStringLiteral("metal_cast_%1_").arg(table);
        const QStringList olds = castStatements(QStringLiteral("old.scond_id"), DbKind::SQLite);
        const QStringList news = castStatements(QStringLiteral("new.scond_id"), DbKind::SQLite);
        s << trigger(name + QStringLiteral("insert"), QStringLiteral("insert on ") + table, castCondition(c, newLine),
                     news);
        s << trigger(name + QStringLiteral("update"),
                     QStringLiteral("update of %1 on %2").arg(c.watched.join(QStringLiteral(", ")), table),
                     QStringLiteral("(%1) and ((%2) or (%3))")
                         .arg(changed(c.watched, DbKind::SQLite), castCondition(c, oldLine), castCondition(c, newLine)),
                     olds + news);
        s << trigger(name + QStringLiteral("delete"), QStringLiteral("delete on ") + table, castCondition(c, oldLine),
                     olds);
    }
    return s;
}

QString plpgsqlFunction(const QString &name, const QStringList &oldStatements, const QStringList &newStatements)
{
    const auto block = [](const char *op, const QStringList &statements) {
        return statements.isEmpty() ? QString()
                                    : QStringLiteral(" if tg_op in (%1) then %2; end if;")
                                          .arg(QLatin1String(op), statements.join(QStringLiteral("; ")));
    };
    return QStringLiteral("create or replace function %1() returns trigger language plpgsql as $body$ begin%2%3 "
                          "return null; end $body$")
        .arg(name, block("'UPDATE', 'DELETE'", oldStatements), block("'INSERT', 'UPDATE'", newStatements));
}

QStringList postgresTriggers()
{
    QStringList s;
    for (const Flow &f : flows()) {
        const QString table = QLatin1String(f.table);
        const QString function = QStringLiteral("metal_day_%1").arg(table);
        QStringList olds, news;
        for (bool opening : {true, false}) {
            olds << rowEvent(f, opening, QStringLiteral("old"), -1, DbKind::PostgreSQL);
            news << rowEvent(f, opening, QStringLiteral("new"), 1, DbKind::PostgreSQL);
        }
        s << plpgsqlFunction(function, olds, news);
        for (const char *what : {"insert", "delete"}) {
            s << QStringLiteral("create trigger %1 after %2 on %3 for each row execute function %4()")
                     .arg(triggerName(f, what), QLatin1String(what), table, function);
        }
        s << QStringLiteral("create trigger %1 after update of %2 on %3 for each row when (%4) execute function %5()")
                 .arg(triggerName(f, "update"), f.watched.join(QStringLiteral(", ")), table,
                      changed(f.watched, DbKind::PostgreSQL), function);
    }
    s << plpgsqlFunction(QStringLiteral("metal_day_scond"),
                         lineStatements(QStringLiteral("old"), -1, DbKind::PostgreSQL),
                         lineStatements(QStringLiteral("new"), 1, DbKind::PostgreSQL));
    for (const char *what : {"insert", "delete"}) {
        s << QStringLiteral("create trigger metal_day_scond_%1 after %1 on scond for each row execute function "
                            "metal_day_scond()").arg(QLatin1String(what));
    }
    s << QStringLiteral("create trigger metal_day_scond_update after update of metal on scond for each row when (%1) "
                        "execute function metal_day_scond()")
             .arg(changed({QStringLiteral("metal")}, DbKind::PostgreSQL));
    // An AFTER ROW trigger runs when the whole statement is done: each row of
    // a bag counts the bag again from the rows as they are then, which is the
    // same count however many of its rows the statement changed.
    for (const CastSource &c : castSources()) {
        const QString table = QLatin1String(c.table);
        const QString function = QStringLiteral("metal_cast_%1").arg(table);
        s << QStringLiteral("create or replace function %1() returns trigger language plpgsql as $body$ begin "
                            "if tg_op in ('UPDATE', 'DELETE') and %2 then %3; end if; "
                            "if tg_op in ('INSERT', 'UPDATE') and %4 then %5; end if; "
                            "return null; end $body$")
                 .arg(function, castCondition(c, QStringLiteral("old")),
                      castStatements(QStringLiteral("old.scond_id"), DbKind::PostgreSQL).join(QStringLiteral("; ")),
                      castCondition(c, QStringLiteral("new")),
                      castStatements(QStringLiteral("new.scond_id"), DbKind::PostgreSQL).join(QStringLiteral("; ")));
        for (const char *what : {"insert", "delete"}) {
            s << QStringLiteral("create trigger metal_cast_%1_%2 after %2 on %1 for each row execute function %3()")
                     .arg(table, QLatin1String(what), function);
        }
        s << QStringLiteral("create trigger metal_cast_%1_update after update of %2 on %1 for each row when (%3) "
                            "execute function %4()")
                 .arg(table, c.watched.join(QStringLiteral(", ")), changed(c.watched, DbKind::PostgreSQL), function);
    }
    return s;
}

// The ledger's triggers the database has, by name.
QStringList triggersThere(QSqlDatabase &db, DbKind kind)
{
    QSqlQuery q(db);
    const QString sql = kind == DbKind::PostgreSQL
        ? QStringLiteral("select tgname from pg_trigger where not tgisinternal and (tgname like 'metal_day%' or tgname like 'metal_cast%')")
        : QStringLiteral("select name from sqlite_master where type = 'trigger' and (name like 'metal_day%' or name like 'metal_cast%')");
    QStringList have;
    if (q.exec(sql)) {
        while (q.next())
            have << q.value(0).toString().toLower();
    }
    return have;
}

bool run(QSqlDatabase &db, const QString &sql, QString *error)
{
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = QStringLiteral("%1 [%2]").arg(q.lastError().text().trimmed(), sql.left(200));
    return false;
}

} // namespace

const QStringList &MetalLedger::amountColumns()
{
    static const QStringList list = {"s_iss", "s_back", "s_nz", "e_iss", "e_back", "e_fin",
                                     "e_ret", "e_loss", "e_nz", "e_nzf", "e_nzb"};
    return list;
}

QList<TableDef> MetalLedger::tables()
{
    using T = ColumnType;
    QList<ColumnDef> columns = {{"flow", T::Text},  {"gongxu", T::Text}, {"holder", T::Text},
                                {"peer", T::Text},  {"mcode", T::Text},  {"day", T::DateTime},
                                {"holder_name", T::Text}};
    for (const QString &c : amountColumns())
        columns.append({c, isCount(c) ? T::Integer : T::Number});
    return {{ledgerTable,
             "the metal ledger: per flow (L sheet lines, T transfers, H a desk's holding, C a bag cast without a "
             "casting batch), holder and metal, what opened (s_) and closed (e_) on a day, in grams and in rows "
             "with grams; kept by triggers",
             columns, keyColumns},
            {castTable,
             "what a bag counts in flow C of metal_day: the grams of its first lines at 倒模 per metal and day, and "
             "the lines with issued and taken-back grams; kept by triggers",
             {{"scond_id", T::Integer}, {"mcode", T::Text}, {"day", T::DateTime}, {"iss", T::Number},
              {"back", T::Number}, {"iss_nz", T::Integer}, {"back_nz", T::Integer}},
             {"scond_id", "mcode", "day"}}};
}

QList<IndexDef> MetalLedger::indexes()
{
    return {};
}

QString MetalLedger::rebuildSelect(DbKind kind)
{
    const QStringList columns = allColumns();
    QStringList events;
    for (const Flow &f : flows()) {
        for (bool opening : {true, false}) {
            const QStringList values = eventValues(f, opening, QStringLiteral("a"), 1, lineMetal, kind);
            QStringList named;
            for (qsizetype i = 0; i < values.size(); ++i)
                named << values.at(i) + QStringLiteral(" as ") + columns.at(i);
            events << QStringLiteral("select %1 from %2 a where %3")
                          .arg(named.join(QStringLiteral(", ")), QLatin1String(f.table),
                               eventCondition(f, opening, QStringLiteral("a"), lineMetal));
        }
    }
    events << castAsLedger(QStringLiteral("(%1) m").arg(castSelect(QStringLiteral("r.scond_id is not null"), kind)), 1);
    QStringList outer = keyColumns;
    outer << QStringLiteral("max(holder_name) as holder_name");
    for (const QString &c : amountColumns())
        outer << (isCount(c) ? QStringLiteral("sum(%1) as %1").arg(c) : QStringLiteral("round(sum(%1), 3) as %1").arg(c));
    return QStringLiteral("select %1 from (%2) e group by %3")
        .arg(outer.join(QStringLiteral(", ")), events.join(QStringLiteral(" union all ")),
             keyColumns.join(QStringLiteral(", ")));
}

bool MetalLedger::remove(QSqlDatabase db, DbKind kind, QString *error)
{
    // Only those there are: PostgreSQL would send a notice for each one missing.
    const QStringList have = triggersThere(db, kind);
    for (const auto &[name, table] : triggers()) {
        if (!have.contains(name))
            continue;
        const QString sql = kind == DbKind::PostgreSQL ? QStringLiteral("drop trigger %1 on %2").arg(name, table)
                                                       : QStringLiteral("drop trigger %1").arg(name);
        if (!run(db, sql, error))
            return false;
    }
    return true;
}

bool MetalLedger::install(QSqlDatabase db, DbKind kind, QString *error)
{
    if (!remove(db, kind, error))
        return false;
    for (const QString &sql : kind == DbKind::PostgreSQL ? postgresTriggers() : sqliteTriggers()) {
        if (!run(db, sql, error))
            return false;
    }
    return run(db, QStringLiteral("delete from ") + QLatin1String(ledgerTable), error)
        && run(db, insertHead() + rebuildSelect(kind), error)
        && run(db, QStringLiteral("delete from ") + QLatin1String(castTable), error)
        && run(db,
               QStringLiteral("insert into %1 (scond_id, mcode, day, iss, back, iss_nz, back_nz) ").arg(QLatin1String(castTable))
                   + castSelect(QStringLiteral("r.scond_id is not null"), kind),
               error);
}

bool MetalLedger::installed(QSqlDatabase db, DbKind kind)
{
    const QStringList have = triggersThere(db, kind);
    for (const auto &trigger : triggers()) {
        if (!have.contains(trigger.first))
            return false;
    }
    return true;
}

} // namespace wip
