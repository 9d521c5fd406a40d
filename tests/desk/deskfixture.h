#pragma once

#include "database/initdatabase.h"
#include "database/metalledger.h"
#include "desk/castingdesk.h"
#include "desk/desk.h"
#include "reports/datastore.h"
#include "runtime/decimal.h"
#include "runtime/sqlvalue.h"
#include "testdatabase.h"

#include <QDateTime>
#include <QStringList>
#include <QTest>

#include <algorithm>

namespace wip::test {

// A new factory as `wip init-db` makes it without the demo (schema, department
// rows, process and stock codes), then what the factory typed in: materials,
// one style with its stones, the workers of the reference data and a
// supervisor, and contract KC1 of three lines in two metals, each line a bag:
//
//   KC1-1  18KY   10 pieces        KC1-2  PT950   4 pieces        KC1-3  18KY   6 pieces
//   style R2401 (戒指RING): 3 stones DIA-RD-1.0 a piece, set 钉镶 (and the
//   placeholder line 初始镶法 INIST, which is nothing to set)
inline bool newFactory(TestDatabase &db)
{
    InitOptions options;
    options.today = QDate(2004, 3, 1);
    const InitResult init = initDatabase(db.tr(), options);
    if (!init.ok)
        return false;
    // The workers of the reference data.
    const struct
    {
        const char *no, *name, *dept;
        int active;
    } staff[] = {{"0401", "张三", "04-执模", 1}, {"0402", "李四", "04-执模", 1}, {"0403", "钱七", "04-执模", 0},
                 {"0601", "王五", "06-镶石", 1}, {"0701", "赵六", "07-执边", 1}, {"0801", "孙八", "08-打磨", 1}};
    bool ok = true;
    for (const auto &s : staff)
        ok = ok && db.insert("worker", {{"changhao", s.no}, {"xingming", QString::fromUtf8(s.name)},
                                        {"gongxu_code", QString::fromUtf8(s.dept)}, {"active", s.active}});
    return ok && db.insert("material", {{"mcode", "18KY"}, {"mtype", "GOLD"}, {"purate", 0.75}})
        && db.insert("material", {{"mcode", "PT950"}, {"mtype", "PT"}, {"purate", 0.95}})
        && db.insert("material", {{"mcode", "DIA-RD-1.0"}, {"mtype", "STONE"}, {"purate", 1}})
        && db.insert("arttype", {{"arttype_code", "R"}, {"arttype_name", "戒指RING"}})
        && db.insert("article", {{"article_code", "R2401"}, {"arttype_code", "R"}, {"pic_name", "D2401.BMP"}})
        && db.insert("artsd", {{"article_code", "R2401"}, {"stone_code", "DIA-RD-1.0"}, {"settype_code", "钉镶"},
                               {"qtycal", 3}})
        && db.insert("artsd", {{"article_code", "R2401"}, {"stone_code", "INIST"}, {"settype_code", "初始镶法"},
                               {"qtycal", 0}})
        && db.insert("users", {{"user_code", "BOSS"}, {"user_name", "主管"}, {"active", 1}})
        && db.insert("rights", {{"user_code", "BOSS"}, {"module", "M10"}, {"function", "H05"}, {"rights", "X99A"}})
        && db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "QOR"}, {"cust_order", "PO-1"},
                               {"issdate", QDateTime(QDate(2004, 2, 20), QTime(0, 0))},
                               {"deldate", QDateTime(QDate(2004, 3, 31), QTime(0, 0))}, {"next_line_no", 4}})
        && db.insert("scond", {{"scno", "KC1"}, {"design_no", "D2401"}, {"article_code", "R2401"}, {"metal", "18KY"},
                               {"quantity", 10}})
        && db.insert("scond", {{"scno", "KC1"}, {"design_no", "D2401"}, {"article_code", "R2401"}, {"metal", "PT950"},
                               {"quantity", 4}})
        && db.insert("scond", {{"scno", "KC1"}, {"design_no", "D2401"}, {"article_code", "R2401"}, {"metal", "18KY"},
                               {"quantity", 6}});
}

// A desk of the factory, acting at the moment `now` says.
struct DeskClerk
{
    explicit DeskClerk(Transaction &tr, const QString &user = QStringLiteral("CLERK"), Rights rights = Right::Scan)
        : desk(tr, {user, QStringLiteral("test")}, rights, Desk::Options{Decimal::fromUnits(10, 3), [this] { return now; }}),
          casting(tr, {user, QStringLiteral("test")}, rights, Desk::Options{Decimal::fromUnits(10, 3), [this] { return now; }})
    {
    }
    // A casting batch at 倒模: bags as "CODE=G", the grams cast for each.
    CastingDesk::Outcome cast(const QString &issued, const QString &returned, const QStringList &bags)
    {
        CastingBatch batch;
        batch.issued = issued;
        batch.returned = returned;
        for (const QString &b : bags)
            batch.bags.append({b.section(QLatin1Char('='), 0, 0), b.section(QLatin1Char('='), 1)});
        return casting.cast(batch);
    }
    DeskOutcome act(DeskAction action, const QString &code, const QString &dept, const QString &weight,
                    const QString &pieces = QString(), const QString &worker = QString())
    {
        DeskRequest r;
        r.action = action;
        r.code = code;
        r.department = dept;
        r.weight = weight;
        r.pieces = pieces;
        r.worker = worker;
        return desk.act(r);
    }

    Desk desk;
    CastingDesk casting;
    QDateTime now = QDateTime(QDate(2004, 3, 1), QTime(9, 0));
};

// A value as the tests compare it: numbers without trailing zeros, dates as days.
inline QString cell(const QVariant &v)
{
    if (v.isNull())
        return QStringLiteral("-");
    if (const auto d = Decimal::fromVariant(v))
        return d->normalized().toString();
    if (v.typeId() == QMetaType::QDateTime)
        return v.toDateTime().toString(QStringLiteral("yyyy-MM-dd"));
    return v.toString();
}

// The rows of a report definition retrieved with args, each as its columns'
// values joined by "|", sorted (the definitions leave the order to the database).
inline QStringList report(Transaction &tr, const QString &definition, const QVariantList &args,
                          const QStringList &columns)
{
    reports::DataStore ds(definition);
    ds.SetTransObject(tr);
    if (ds.Retrieve(args) < 0)
        return {QStringLiteral("retrieve failed")};
    QStringList rows;
    for (int r = 1; r <= ds.RowCount(); ++r) {
        QStringList cells;
        for (const QString &c : columns)
            cells << cell(ds.GetItem(r, c));
        rows << cells.join(QLatin1Char('|'));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The rows of a query in the same form; kinds names each column's kind: t text,
// n number, d date.
inline QStringList table(TestDatabase &db, const char *kinds, const QString &sql, const QVariantList &values = {})
{
    QStringList rows;
    for (const QVariantList &row : db.rows(sql, values)) {
        QStringList cells;
        for (qsizetype i = 0; i < row.size(); ++i) {
            const char k = kinds[i];
            cells << cell(k == 'n' ? fromDbValue(row[i], ColumnKind::Number)
                                   : k == 'd' ? fromDbValue(row[i], ColumnKind::DateTime) : row[i]);
        }
        rows << cells.join(QLatin1Char('|'));
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Every row of every table the desk and the casting desk write, as text: what
// a refusal must leave as it was.
inline QStringList deskRows(TestDatabase &db)
{
    static const char *const tables[] = {"proch",        "proch_new", "matuse",    "work_report", "flreturn", "work_wip",
                                         "jcjl_mattran", "process",   "bag_place", "audit_log",   "castind"};
    QStringList all;
    for (const char *t : tables) {
        for (const QVariantList &row : db.rows(QStringLiteral("select * from %1").arg(QLatin1String(t)))) {
            QStringList cells{QLatin1String(t)};
            for (const QVariant &v : row)
                cells << (v.isNull() ? QStringLiteral("NULL") : v.toString());
            all << cells.join(QLatin1Char('|'));
        }
    }
    all.sort();
    return all;
}

// Where the metal ledger the triggers kept differs from the ledger counted
// afresh from the rows there are (rows whose every figure is 0 left out): the
// first few rows found in one and not the other; empty when they agree.
inline QString ledgerDisagreement(TestDatabase &db)
{
    const QStringList amounts = MetalLedger::amountColumns();
    const QString columns = QStringLiteral("flow, gongxu, holder, peer, mcode, day, ") + amounts.join(QStringLiteral(", "));
    const QString someFigure = amounts.join(QStringLiteral(" <> 0 or ")) + QStringLiteral(" <> 0");
    const QByteArray kinds = QByteArray("tttttd") + QByteArray(amounts.size(), 'n');
    const QStringList kept = table(db, kinds.constData(),
                                   QStringLiteral("select %1 from metal_day where %2").arg(columns, someFigure));
    const QStringList counted = table(db, kinds.constData(),
                                      QStringLiteral("select %1 from (%2) r where %3")
                                          .arg(columns, MetalLedger::rebuildSelect(db.kind()), someFigure));
    if (kept == counted)
        return {};
    QStringList why;
    for (const QString &row : kept) {
        if (!counted.contains(row) && why.size() < 4)
            why << QStringLiteral("kept only: ") + row;
    }
    for (const QString &row : counted) {
        if (!kept.contains(row) && why.size() < 8)
            why << QStringLiteral("counted only: ") + row;
    }
    return QStringLiteral("%1 rows kept, %2 counted; ").arg(kept.size()).arg(counted.size()) + why.join(QStringLiteral("; "));
}

} // namespace wip::test

// A new factory (newFactory) on the row's engine; skips PostgreSQL when not configured.
#define WIP_DESK_FACTORY(var)                                                                    \
    QFETCH(QString, engine);                                                                     \
    if (::wip::test::engineFromName(engine) == ::wip::test::Engine::PostgreSQL                   \
        && !::wip::test::postgresConfigured())                                                   \
        QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)"); \
    ::wip::test::TestDatabase var(::wip::test::engineFromName(engine), QStringLiteral("new factory"), \
                                  ::wip::test::newFactory);                                      \
    QVERIFY2(var.isValid(), qPrintable(var.error()))
