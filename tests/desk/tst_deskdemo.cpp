// The demo factory is made by the desk's rules, on each engine: every bag of it
// stands in one place that its open steps, desk rows, sheets and transfers
// agree with, each contract's progress record agrees with where its bags are
// and with the moments they were passed on, some contracts are not started yet,
// and the desk itself takes the next action on demo bags in every place, after
// which the same rules still hold. The demo users hold the rights their roles
// suggest.

#include "database/demofactory.h"
#include "database/useraccounts.h"
#include "desk/deskdepartment.h"
#include "deskfixture.h"

#include <map>

using namespace wip;
using namespace wip::test;
using A = DeskAction;
using R = DeskOutcome::Result;

namespace {

const QDate kToday(2004, 5, 12);
const QString kUser = QStringLiteral("DEMOTEST");

// The desks' departments as an inline table (gx, stock, rank) for the checks.
QString desks()
{
    QStringList rows;
    for (qsizetype i = 0; i < DeskDepartment::all().size(); ++i) {
        const DeskDepartment &d = DeskDepartment::all().at(i);
        rows << QStringLiteral("select '%1' as gx, '%2' as stock, %3 as rank").arg(d.gongxu, d.stock).arg(i);
    }
    return QLatin1Char('(') + rows.join(QStringLiteral(" union all ")) + QLatin1Char(')');
}

// What the desk keeps true of every bag, whoever wrote the rows: each query
// lists the rows that break the rule.
struct Rule
{
    const char *name;
    QString sql;
};

QList<Rule> rules()
{
    const QString d = desks();
    const QString chain = QStringLiteral("(select gx from %1 t)").arg(d);
    return {
        {"a step of a desk carries its line, of its contract",
         QStringLiteral("select p.scno, p.gongxu_code from proch p left join scond s on s.scond_id = p.scond_id "
                        "where p.gongxu_code in %1 and (s.scond_id is null or s.scno <> p.scno) "
                        "union all select n.scno, n.gongxu_code from proch_new n join scond s on s.scond_id = n.scond_id "
                        "where s.scno <> n.scno union all select r.scno, r.wsheetno from work_report r "
                        "join scond s on s.scond_id = r.scond_id where s.scno <> r.scno "
                        "union all select m.scno, m.mattran_no from jcjl_mattran m join scond s on s.scond_id = m.scond_id "
                        "where s.scno <> m.scno").arg(chain)},
        {"an open step with a worker is the bag's place",
         QStringLiteral("select p.scno, p.wsheetno from proch p left join bag_place b on b.scond_id = p.scond_id "
                        "where p.edtime is null and coalesce(p.changhao, '') <> '' and p.scond_id is not null and "
                        "(b.scond_id is null or b.note_no <> p.wsheetno or b.changhao <> p.changhao or not "
                        "((b.place = 'worker' and p.gongxu_code = b.gongxu_code) or "
                        "(b.place = 'outside' and p.gongxu_code = '11-外发')))")},
        {"a bag with a worker has its whole open sheet",
         QStringLiteral("select b.scno, b.note_no from bag_place b where b.place = 'worker' and ("
                        "(select count(*) from proch p where p.scond_id = b.scond_id and p.wsheetno = b.note_no "
                        "and p.edtime is null) <> 1 or (select count(*) from proch_new n where n.scond_id = b.scond_id "
                        "and n.wsheetno = b.note_no and n.edtime is null) <> 1 or (select count(*) from work_report r "
                        "where r.scond_id = b.scond_id and r.wsheetno = b.note_no and r.zt = 'PEN') <> 1 or "
                        "(select count(*) from work_wip w where w.worksheet = b.note_no) <> 1 or "
                        "(select count(*) from jcjl_mattran m where m.scond_id = b.scond_id and m.mattran_no = b.note_no "
                        "and m.zt = 'BEGIN' and m.tcode = '11-工人在做仓') <> 1)")},
        {"the open sheet's step, line, work and transfer hold the same pieces and grams",
         QStringLiteral("select b.scno, b.note_no from bag_place b "
                        "join proch p on p.scond_id = b.scond_id and p.wsheetno = b.note_no and p.edtime is null "
                        "join proch_new n on n.scond_id = b.scond_id and n.wsheetno = b.note_no and n.edtime is null "
                        "join work_report r on r.scond_id = b.scond_id and r.wsheetno = b.note_no and r.zt = 'PEN' "
                        "join work_wip w on w.worksheet = b.note_no "
                        "join jcjl_mattran m on m.scond_id = b.scond_id and m.mattran_no = b.note_no and m.zt = 'BEGIN' "
                        "where b.place = 'worker' and not (p.qty = n.qty and n.qty = r.pen_pcs and r.pen_pcs = r.iss_pcs "
                        "and n.qty = w.pcs and n.qty = m.qtycal and n.weight = r.pen_weight and r.pen_weight = "
                        "r.iss_weight and n.weight = w.weight and n.weight = m.qtyref and n.gongxu_code = b.gongxu_code)")},
        {"an open transfer to the workers' stock is the sheet of the bag's worker",
         QStringLiteral("select m.scno, m.mattran_no from jcjl_mattran m left join bag_place b on b.scond_id = m.scond_id "
                        "where m.zt = 'BEGIN' and m.scond_id is not null and m.tcode = '11-工人在做仓' and "
                        "(b.scond_id is null or b.place <> 'worker' or b.note_no <> m.mattran_no)")},
        {"the desk's own row holds what the place says the desk holds",
         QStringLiteral("select b.scno, b.scond_id from bag_place b where (select count(*) from proch_new n "
                        "where n.scond_id = b.scond_id and coalesce(n.changhao, '') = '' and n.edtime is null) <> "
                        "case when b.place in ('desk', 'worker') and b.pcs > 0 then 1 else 0 end "
                        "or exists (select 1 from proch_new n where n.scond_id = b.scond_id and coalesce(n.changhao, '') "
                        "= '' and n.edtime is null and (n.gongxu_code <> b.gongxu_code or n.qty <> b.pcs or "
                        "n.weight <> b.weight)) or (b.place = 'desk' and b.pcs <= 0) "
                        "or (b.place in ('transit', 'outside') and (b.pcs <> 0 or b.weight <> 0))")},
        {"a bag in transit goes to the next desk on its transfer",
         QStringLiteral("select b.scno, b.note_no from bag_place b join %1 f on f.gx = b.gongxu_code "
                        "left join %1 t on t.gx = b.next_gongxu where b.place = 'transit' and (t.gx is null or "
                        "t.rank <> f.rank + 1 or (select count(*) from jcjl_mattran m where m.scond_id = b.scond_id "
                        "and m.mattran_no = b.note_no and m.zt = 'BEGIN' and m.fcode = f.stock and m.tcode = t.stock) <> 1)")
             .arg(d)},
        {"a bag outside is on its transfer and its open outside step",
         QStringLiteral("select b.scno, b.note_no from bag_place b join %1 f on f.gx = b.gongxu_code "
                        "where b.place = 'outside' and ((select count(*) from jcjl_mattran m where m.scond_id = b.scond_id "
                        "and m.mattran_no = b.note_no and m.zt = 'BEGIN' and m.fcode = f.stock and m.tcode = '12-外工收发') "
                        "<> 1 or (select count(*) from proch p where p.scond_id = b.scond_id and p.wsheetno = b.note_no "
                        "and p.gongxu_code = '11-外发' and p.edtime is null and p.changhao = b.changhao) <> 1)")
             .arg(d)},
        {"an open transfer between desks is a bag's in transit or outside",
         QStringLiteral("select m.scno, m.mattran_no from jcjl_mattran m left join bag_place b on b.scond_id = m.scond_id "
                        "and b.note_no = m.mattran_no where m.zt = 'BEGIN' and m.scond_id is not null and "
                        "m.tcode <> '11-工人在做仓' and (b.scond_id is null or b.place not in ('transit', 'outside'))")},
        {"a finished bag was received by shipping, and only it",
         QStringLiteral("select b.scno, b.place from bag_place b where (b.place = 'finished') <> "
                        "exists (select 1 from proch p where p.scond_id = b.scond_id and p.gongxu_code = '20-出货') "
                        "or (b.place = 'finished' and (b.gongxu_code <> '20-出货' or b.pcs <> (select sum(p.qty) "
                        "from proch p where p.scond_id = b.scond_id and p.gongxu_code = '20-出货' and p.edtime is not null)))")},
        {"a sheet line's loss is issued less finished less returned; a pending line holds what was issued",
         QStringLiteral("select wsheetno, zt from work_report where scond_id is not null and ((zt = 'FIN' and "
                        "round(loss - (iss_weight - fin_weight - ret_weight), 3) <> 0) or (zt = 'PEN' and "
                        "(pen_pcs <> iss_pcs or pen_weight <> iss_weight or fin_pcs <> 0)))")},
        {"a contract has a progress record when one of its bags was received",
         QStringLiteral("select h.scno, count(p.scno) from sconh h left join process p on p.scno = h.scno "
                        "group by h.scno having count(p.scno) <> case when exists (select 1 from bag_place b "
                        "where b.scno = h.scno) then 1 else 0 end")},
    };
}

QStringList broken(TestDatabase &db, const QString &sql)
{
    QStringList out;
    for (const QVariantList &row : db.rows(sql)) {
        QStringList cells;
        for (const QVariant &v : row)
            cells << v.toString();
        out << cells.join(QLatin1Char('|'));
        if (out.size() == 5)
            break;
    }
    if (!db.error().isEmpty())
        out << db.error();
    return out;
}

int rankOf(const QString &gongxu)
{
    const DeskDepartment *d = DeskDepartment::find(gongxu);
    return d ? int(d - &DeskDepartment::all().first()) : -1;
}

const char *const kFigures = "wax_in, wax_out, casting_in, casting_out, filing_in, filing_out, setting_in, setting_out, "
                             "finishing_in, finishing_out, polishing_in, polishing_out, rhodium_in, rhodium_out";

// The progress record the places of a contract's bags give: a bag counts as
// received by each department up to the one it is at (in transit the one it
// goes to, finished all of them) and as passed on by those before that.
QStringList progressFaults(TestDatabase &db)
{
    std::map<QString, QList<Decimal>> expected;
    for (const QVariantList &r : db.rows("select b.scno, b.place, b.gongxu_code, b.next_gongxu, s.quantity "
                                         "from bag_place b join scond s on s.scond_id = b.scond_id")) {
        const QString place = r.at(1).toString();
        const int reached = place == u"finished" ? 7 : rankOf(r.at(place == u"transit" ? 3 : 2).toString());
        const Decimal q = *Decimal::fromVariant(fromDbValue(r.at(4), ColumnKind::Number));
        QList<Decimal> &f = expected[r.at(0).toString()];
        f.resize(14, Decimal::fromInt(0));
        for (int k = 0; k < 7; ++k) {
            f[2 * k] += reached >= k ? q : Decimal::fromInt(0);
            f[2 * k + 1] += reached > k ? q : Decimal::fromInt(0);
        }
    }
    QStringList faults;
    for (const QVariantList &r : db.rows(QStringLiteral("select scno, %1 from process").arg(QLatin1String(kFigures)))) {
        QStringList got, want;
        for (int k = 0; k < 14; ++k) {
            got << cell(fromDbValue(r.at(k + 1), ColumnKind::Number));
            want << expected[r.at(0).toString()].value(k, Decimal::fromInt(0)).normalized().toString();
        }
        if (got != want)
            faults << QStringLiteral("%1: %2 instead of %3").arg(r.at(0).toString(), got.join(u' '), want.join(u' '));
    }
    return faults;
}

// Where a department passed its last bag on, the progress record carries that
// moment as its date (and, until it passes its own last on, the next one's);
// plating's date is the one polishing's passing on stamped.
QStringList progressDateFaults(TestDatabase &db)
{
    std::map<QString, QMap<int, QString>> lastPass;   // scno -> rank -> latest transfer on
    for (const QVariantList &r : db.rows(QStringLiteral(
             "select m.scno, f.rank, max(m.ldate) from jcjl_mattran m join %1 f on f.stock = m.fcode "
             "join %1 t on t.stock = m.tcode and t.rank = f.rank + 1 where m.scond_id is not null "
             "group by m.scno, f.rank").arg(desks())))
        lastPass[r.at(0).toString()][r.at(1).toInt()] = cell(fromDbValue(r.at(2), ColumnKind::DateTime));
    const char *const dates[] = {"wax_date", "casting_date", "filing_date", "setting_date", "finishing_date",
                                 "polishing_date", "rhodium_date"};
    QStringList faults;
    for (const QVariantList &r : db.rows(QStringLiteral("select scno, %1, wax_date, casting_date, filing_date, "
                                                        "setting_date, finishing_date, polishing_date, rhodium_date "
                                                        "from process").arg(QLatin1String(kFigures)))) {
        const QMap<int, QString> &passed = lastPass[r.at(0).toString()];
        for (int k = 0; k < 7; ++k) {
            const Decimal in = *Decimal::fromVariant(fromDbValue(r.at(1 + 2 * k), ColumnKind::Number));
            const Decimal out = *Decimal::fromVariant(fromDbValue(r.at(2 + 2 * k), ColumnKind::Number));
            const bool emptied = k < 6 && in.sign() > 0 && in == out;
            const QString want = emptied ? passed.value(k, QStringLiteral("-"))
                                         : k > 0 ? passed.value(k - 1, QStringLiteral("-")) : QStringLiteral("-");
            const QString got = cell(fromDbValue(r.at(15 + k), ColumnKind::DateTime));
            if (got != want)
                faults << QStringLiteral("%1 %2: %3 instead of %4").arg(r.at(0).toString(), QLatin1String(dates[k]), got, want);
        }
    }
    return faults;
}

// A sheet or transfer of a bag numbered beyond its actions would meet the
// number the desk gives its next action.
QStringList numberFaults(TestDatabase &db)
{
    QStringList faults;
    for (const QVariantList &r : db.rows("select b.scno, b.moves, n.no from bag_place b join (select scond_id, wsheetno "
                                         "as no from proch union all select scond_id, mattran_no from jcjl_mattran) n "
                                         "on n.scond_id = b.scond_id")) {
        const QString no = r.at(2).toString();
        if (no.section(u'/', -1).toInt() > r.at(1).toInt() || !no.startsWith(r.at(0).toString() + u'-'))
            faults << QStringLiteral("%1 after %2 actions").arg(no, r.at(1).toString());
    }
    return faults.mid(0, 5);
}

} // namespace

class DeskDemoTest : public QObject
{
    Q_OBJECT

    // One small demo factory per engine, made once; the desk's actions of the
    // tests act on bags the demo left, each on another.
    std::map<QString, std::unique_ptr<TestDatabase>> m_db;
    TestDatabase *m_demo = nullptr;

    void checkRules()
    {
        for (const Rule &rule : rules()) {
            const QStringList rows = broken(*m_demo, rule.sql);
            QVERIFY2(rows.isEmpty(), qPrintable(QLatin1String(rule.name) + u": " + rows.join(u"; ")));
        }
        const QStringList progress = progressFaults(*m_demo) + numberFaults(*m_demo);
        QVERIFY2(progress.isEmpty(), qPrintable(progress.mid(0, 5).join(u"; ")));
    }

private Q_SLOTS:
    void initTestCase_data() { addEngineRows(); }
    void init()
    {
        QFETCH_GLOBAL(QString, engine);
        if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
            QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
        auto &db = m_db[engine];
        if (!db) {
            db = std::make_unique<TestDatabase>(engineFromName(engine));
            QVERIFY2(db->isValid(), qPrintable(db->error()));
            QSqlDatabase sql = db->tr().database();
            DemoFactory demo(sql, db->kind(), kToday);
            demo.setContracts(200);
            QVERIFY(sql.transaction());
            QVERIFY2(demo.run() && sql.commit(), qPrintable(demo.error()));
        }
        m_demo = db.get();
    }

    void everyBagKeepsTheDesksRules() { checkRules(); }

    // The demo's own story: the progress dates are the bags' last passes on, and
    // every kind of place is there for a new user to try.
    void demoTellsOneStory()
    {
        const QStringList dates = progressDateFaults(*m_demo);
        QVERIFY2(dates.isEmpty(), qPrintable(dates.mid(0, 5).join(u"; ")));
        const QString standing = QStringLiteral(
            "select count(*) from bag_place b where %1");
        for (const char *where : {"place = 'desk'", "place = 'worker'", "place = 'transit' and next_gongxu <> '20-出货'",
                                  "place = 'transit' and next_gongxu = '20-出货'", "place = 'outside'",
                                  "place = 'finished'", "place = 'desk' and exists (select 1 from work_report r "
                                  "where r.scond_id = b.scond_id and r.gongxu = b.gongxu_code)",
                                  "place = 'worker' and exists (select 1 from work_report r where r.wsheetno = b.note_no "
                                  "and r.zt = 'FIN')"})
            QVERIFY2(m_demo->scalar(standing.arg(QString::fromUtf8(where))).toInt() > 0, where);
        // Finished steps at every desk of the chain, and steps back from outside work.
        QCOMPARE(m_demo->scalar("select count(distinct gongxu_code) from proch where edtime is not null "
                                "and scond_id is not null").toInt(), 9);
    }

    // Contracts not started: their lines and tickets only, nothing received or
    // written, the first contract among them so a new user starts at its first bag.
    void someContractsAreNotStarted()
    {
        const QStringList fresh = table(*m_demo, "t", "select h.scno from sconh h where not exists "
                                                      "(select 1 from bag_place b where b.scno = h.scno)");
        QVERIFY(fresh.size() >= 5);
        QVERIFY(fresh.contains(m_demo->scalar("select scno from sconh where sconh_id = 1").toString()));
        for (const char *table : {"process", "proch", "proch_new", "jcjl_mattran", "work_report", "audit_log",
                                  "stonein"}) {
            // Rows of no contract (the closed days' audit rows) are no contract's.
            const QString sql = QStringLiteral("select count(*) from %1 t where t.scno is not null and not exists "
                                               "(select 1 from bag_place b where b.scno = t.scno)").arg(QLatin1String(table));
            QVERIFY2(m_demo->scalar(sql).toInt() == 0, table);
        }
        QCOMPARE(m_demo->scalar("select count(*) from castind c where not exists (select 1 from bag_place b "
                                "where b.scno = c.contractno)").toInt(), 0);
        QCOMPARE(m_demo->scalar("select count(*) from scond s where line_no is null").toInt(), 0);
    }

    // The desk takes the next action on a demo bag of each place; the rules hold after it.
    void deskTakesTheNextAction_data();
    void deskTakesTheNextAction();

    void demoUsersHoldTheirRolesRights();
};

void DeskDemoTest::deskTakesTheNextAction_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("bag");   // code, department, grams, worker of the bag to act on
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("after");
    const QString code = QStringLiteral("s.scno || '-' || s.line_no");
    const QString own = QStringLiteral(" from bag_place b join scond s on s.scond_id = b.scond_id where b.opername <> 'DEMOTEST' and ");
    const auto row = [](const char *name, A action, const QString &bag, R result, const char *after) {
        QTest::newRow(name) << int(action) << bag << int(result) << QString::fromLatin1(after);
    };
    row("not started: received at 唧蜡", A::Receive,
        QStringLiteral("select %1, '唧蜡', s.quantity * 0.4, '' from scond s where not exists "
                       "(select 1 from bag_place b where b.scno = s.scno) order by s.scond_id").arg(code),
        R::Done, "desk");
    row("at a desk: issued to a worker", A::Issue,
        QStringLiteral("select %1, b.gongxu_code, b.weight, (select min(w.changhao) from worker w where "
                       "w.gongxu_code = b.gongxu_code and w.active = 1)%2 b.place = 'desk' order by b.scond_id")
            .arg(code, own),
        R::Done, "worker");
    row("at a desk: passed on", A::PassOn,
        QStringLiteral("select %1, b.gongxu_code, b.weight, ''%2 b.place = 'desk' order by b.scond_id desc").arg(code, own),
        R::Done, "transit");
    row("with a worker: taken back", A::TakeBack,
        QStringLiteral("select %1, b.gongxu_code, n.weight, ''%2 b.place = 'worker' and not exists (select 1 from "
                       "work_report r where r.wsheetno = b.note_no and r.zt = 'FIN') order by b.scond_id")
            .arg(code, own.left(own.indexOf(u" where")) + QStringLiteral(" join proch_new n on n.wsheetno = b.note_no "
                       "and n.scond_id = b.scond_id and n.edtime is null") + own.mid(own.indexOf(u" where"))),
        R::Done, "desk");
    row("with a worker, pieces left over from a take-back: taken back", A::TakeBack,
        QStringLiteral("select %1, b.gongxu_code, n.weight, ''%2 b.place = 'worker' and exists (select 1 from "
                       "work_report r where r.wsheetno = b.note_no and r.zt = 'FIN') order by b.scond_id")
            .arg(code, own.left(own.indexOf(u" where")) + QStringLiteral(" join proch_new n on n.wsheetno = b.note_no "
                       "and n.scond_id = b.scond_id and n.edtime is null") + own.mid(own.indexOf(u" where"))),
        R::Done, "desk");
    const QString sent = own.left(own.indexOf(u" where"))
        + QStringLiteral(" join jcjl_mattran m on m.mattran_no = b.note_no and m.scond_id = b.scond_id and m.zt = 'BEGIN'")
        + own.mid(own.indexOf(u" where"));
    row("in transit: received", A::Receive,
        QStringLiteral("select %1, b.next_gongxu, m.qtyref, ''%2 b.place = 'transit' and b.next_gongxu <> '20-出货' "
                       "order by b.scond_id").arg(code, sent),
        R::Done, "desk");
    row("in transit to shipping: received, finished", A::Receive,
        QStringLiteral("select %1, b.next_gongxu, m.qtyref, ''%2 b.place = 'transit' and b.next_gongxu = '20-出货' "
                       "order by b.scond_id").arg(code, sent),
        R::Done, "finished");
    row("outside: received back", A::Receive,
        QStringLiteral("select %1, b.gongxu_code, m.qtyref, ''%2 b.place = 'outside' order by b.scond_id").arg(code, sent),
        R::Done, "desk");
    row("finished: refused", A::Receive,
        QStringLiteral("select %1, '出货', b.weight, ''%2 b.place = 'finished' order by b.scond_id").arg(code, own),
        R::WrongPlace, "finished");
    row("with a worker: not passed on", A::PassOn,
        QStringLiteral("select %1, b.gongxu_code, b.weight, ''%2 b.place = 'worker' order by b.scond_id desc").arg(code, own),
        R::WithWorker, "worker");
}

void DeskDemoTest::deskTakesTheNextAction()
{
    QFETCH(int, action);
    QFETCH(QString, bag);
    QFETCH(int, result);
    QFETCH(QString, after);
    const QList<QVariantList> found = m_demo->rows(bag);
    QVERIFY2(!found.isEmpty(), qPrintable(bag + u' ' + m_demo->error()));
    const QVariantList &b = found.first();
    DeskRequest r;
    r.action = A(action);
    r.code = b.at(0).toString();
    r.department = b.at(1).toString();
    r.weight = Decimal::fromVariant(fromDbValue(b.at(2), ColumnKind::Number))->rounded(3).normalized().toString();
    r.worker = b.at(3).toString();
    Desk desk(m_demo->tr(), {kUser, QStringLiteral("test")}, Right::Scan,
              Desk::Options{Decimal::fromUnits(10, 3), [] { return QDateTime(kToday, QTime(10, 0)); }});
    const DeskOutcome o = desk.act(r);
    QVERIFY2(int(o.result) == result, qPrintable(r.code + u": " + o.message));
    QCOMPARE(m_demo->scalar("select place from bag_place where scond_id = ?", {o.ticket.scondId}).toString(), after);
    checkRules();
}

// The desk's rights by role: the clerk scans and works the desk, the
// supervisor confirms, the administrator holds every right; a planner, an
// inspector and a viewer only what their sales-contract texts give.
void DeskDemoTest::demoUsersHoldTheirRolesRights()
{
    const std::map<QString, Rights> roles = {
        {"ADMIN", RightsCatalogue::every()},
        {"PLAN", Right::ContractAdd},
        {"CLERK", Right::ContractEdit | Right::Scan},
        {"QC", Right::ContractDelete},
        {"BOSS", Right::ContractAdd | Right::ContractEdit | Right::ContractDelete | Right::Supervisor},
        {"VIEW", Rights()},
    };
    QCOMPARE(qsizetype(roles.size()), DemoFactory::demoUsers().size());
    for (const DemoFactory::DemoUser &u : DemoFactory::demoUsers()) {
        const Rights held = RightsCatalogue::rightsOf([&](const QString &module, const QString &function) {
            return UserAccounts::rights(m_demo->tr(), u.code, module, function);
        });
        QVERIFY2(roles.count(u.code), qPrintable(u.code));
        QVERIFY2(held == roles.at(u.code), qPrintable(u.code + u": " + RightsCatalogue::names(held)));
    }
    QVERIFY(Desk::mayAct(roles.at("CLERK")) && !Desk::mayAct(roles.at("VIEW")));
}

QTEST_GUILESS_MAIN(DeskDemoTest)
#include "tst_deskdemo.moc"
