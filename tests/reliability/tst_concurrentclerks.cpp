#include "contracts/contractwindows.h"
#include "desk/contractwrites.h"
#include "desk/scanstation.h"
#include "contracts/w_scno_process.h"
#include "daily_output/recomputedaywip.h"
#include "reports/datastore.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/appglobals.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/messageboxservice.h"
#include "testdatabase.h"

#include <QDeadlineTimer>
#include <QPointer>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <atomic>
#include <barrier>
#include <chrono>
#include <functional>
#include <latch>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

using namespace wip;
using wip::test::TestDatabase;
using Clock = std::chrono::steady_clock;
using Result = ContractWrites::SaveResult;

namespace {

constexpr auto kClerkTimeLimit = std::chrono::seconds(40);

// Runs each clerk in a thread of its own, all released at the same moment, and
// waits for every one. A clerk still at work after the limit ends the test
// program: it is hung, and a running thread cannot be left behind.
void runClerks(const std::vector<std::function<void()>> &clerks)
{
    std::latch ready(std::ptrdiff_t(clerks.size()));
    std::vector<std::unique_ptr<QThread>> threads;
    for (const auto &clerk : clerks)
        threads.emplace_back(QThread::create([&ready, clerk] {
            ready.arrive_and_wait();
            clerk();
        }));
    for (auto &t : threads)
        t->start();
    const QDeadlineTimer deadline(std::chrono::duration_cast<std::chrono::milliseconds>(kClerkTimeLimit).count());
    for (auto &t : threads) {
        if (!t->wait(deadline))
            qFatal("a clerk was still at work after %lld s", qlonglong(kClerkTimeLimit.count()));
    }
}

// What went wrong inside the clerks' threads, where QVERIFY cannot be used.
class Problems
{
public:
    void add(const QString &text)
    {
        std::lock_guard lock(m_mutex);
        m_list.append(text);
    }
    QString text()
    {
        std::lock_guard lock(m_mutex);
        return m_list.mid(0, 10).join(QLatin1Char('\n'));
    }
    bool empty()
    {
        std::lock_guard lock(m_mutex);
        return m_list.isEmpty();
    }

private:
    std::mutex m_mutex;
    QStringList m_list;
};

// A clerk's own connection: made, used and closed in the clerk's thread.
std::unique_ptr<Transaction> connectDesk(const ConnectionSettings &settings, Problems &problems)
{
    auto tr = std::make_unique<Transaction>();
    tr->settings = settings;
    if (!tr->connect()) {
        problems.add(QStringLiteral("cannot connect: ") + tr->sqlErrText);
        return nullptr;
    }
    return tr;
}

QVariant day(int d) { return QDateTime(QDate(2004, 3, d), QTime(0, 0)); }

bool addStep(TestDatabase &db, const QString &scno, const QString &code, const QVariant &edtime, double qty)
{
    return db.insert(QStringLiteral("proch"),
                     {{"scno", scno}, {"gongxu_code", code}, {"changhao", "W01"}, {"xingming", "张三"},
                      {"sttime", QDateTime(QDate(2004, 2, 1), QTime(8, 0))}, {"edtime", edtime}, {"qty", qty}});
}

// The departments fed from proch (casting is fed from castind).
QStringList prochDepartments() { return recomputeDepartments().mid(1); }

// day_wip as one text per department, to compare whole tables.
QStringList dayWipTable(const QList<QVariantList> &rows)
{
    QStringList table;
    for (const QVariantList &r : rows) {
        QStringList cells{r.value(0).toString()};
        for (int i = 1; i < r.size(); ++i)
            cells.append(QString::number(r[i].toDouble()));
        table.append(cells.join(QLatin1Char(' ')));
    }
    return table;
}

const char *const kDayWipQuery = "select dep_c, today_fin, today_tot, today_set, month_set, wip from day_wip order by dep_c";

QStringList readDayWip(Transaction &tr)
{
    QSqlQuery q(tr.database());
    QList<QVariantList> rows;
    if (!q.exec(QString::fromLatin1(kDayWipQuery)))
        return {QStringLiteral("read failed")};
    while (q.next())
        rows.append({q.value(0), q.value(1), q.value(2), q.value(3), q.value(4), q.value(5)});
    return dayWipTable(rows);
}

// One save of one clerk, as the clerk saw it.
struct SaveRecord
{
    int clerk;
    QString scno;
    double value;
    int retrievedRows;
    Result result;
    Clock::time_point start, end;
};

struct DeleteRecord
{
    bool ok;
    Clock::time_point start, end;
};

const char *resultName(Result r)
{
    switch (r) {
    case Result::Saved: return "saved";
    case Result::HeaderGone: return "header gone";
    case Result::RecordExists: return "record exists";
    case Result::Failed: return "failed";
    }
    return "?";
}

} // namespace

// Several clerks on the shared server at once, each in a thread with a connection
// of its own: the daily recomputation, progress saves and header deletions end in
// a state that the same actions taken in turn would give.
class ConcurrentClerksTest : public QObject
{
    Q_OBJECT

    QPointer<w_scno_process> w;

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        registerContractWindows();
        user_code() = QStringLiteral("U1");
        setQxpdFunction([](const QString &, const QString &, const QString &) { return QStringLiteral("X08B"); });
    }

    void cleanup()
    {
        if (w) {
            MessageBoxService::queueAnswer(2);   // unsaved changes are dropped
            w->Close();
        }
        QCoreApplication::processEvents();
        MessageBoxService::clear();
    }

    // Four clerks recompute four dates at once, round after round; a fifth keeps
    // reading the table meanwhile. Every run succeeds, and every table read, during
    // and after, is the table of one complete run.
    void recomputationsEndWithOneCompleteRun_data() { wip::test::addEngineRows(); }
    void recomputationsEndWithOneCompleteRun()
    {
        WIP_TEST_DATABASE(db);
        const QStringList departments = prochDepartments();
        QVERIFY(db.insert("scond", {{"scno", "KC2"}, {"article_code", "A1"}, {"design_no", "D1"}, {"quantity", 2}}));
        QVERIFY(db.insert("artsd", {{"article_code", "A1"}, {"stone_code", "S1"}, {"settype_code", "钉镶"}, {"qtycal", 4}}));
        for (int d = 1; d <= 4; ++d) {
            for (int i = 0; i < departments.size(); ++i)
                QVERIFY(addStep(db, "KC2", departments[i], day(d), 10 * d + i));
            QVERIFY(db.insert("castind", {{"castinh_no", "C1"}, {"contractno", "KC2"}, {"ldate", day(d)},
                                          {"qtycal", 1}, {"qtyref", 100 + d}}));
        }
        for (int i = 0; i < departments.size(); ++i)
            QVERIFY(addStep(db, "KC3", departments[i], QVariant(), 1 + i));

        // Each date's table, from runs taken in turn: every figure but wip differs
        // from date to date, so a table mixed from two runs matches none.
        const QStringList dates = {"2004-03-01", "2004-03-02", "2004-03-03", "2004-03-04"};
        QList<QStringList> expected;
        for (const QString &date : dates) {
            QVERIFY(recompute_day_wip(date, db.tr()));
            expected.append(dayWipTable(db.rows(QString::fromLatin1(kDayWipQuery))));
            QCOMPARE(expected.last().size(), 7);
        }
        for (int a = 0; a < expected.size(); ++a)
            for (int b = a + 1; b < expected.size(); ++b)
                QVERIFY(expected[a] != expected[b]);

        Problems problems;
        std::atomic<int> runs = 0;
        std::atomic<int> reads = 0;
        for (int round = 0; round < 6; ++round) {
            std::atomic<int> working = int(dates.size());
            std::vector<std::function<void()>> clerks;
            for (const QString &date : dates) {
                clerks.push_back([&, date] {
                    auto tr = connectDesk(db.settings(), problems);
                    for (int n = 0; tr && n < 3; ++n) {
                        if (!recompute_day_wip(date, *tr))
                            problems.add(QStringLiteral("the run for %1 failed").arg(date));
                        ++runs;
                    }
                    --working;
                });
            }
            clerks.push_back([&] {
                auto tr = connectDesk(db.settings(), problems);
                while (tr && working > 0) {
                    const QStringList table = readDayWip(*tr);
                    if (!expected.contains(table))
                        problems.add(QStringLiteral("read a mixture: ") + table.join(QStringLiteral("; ")));
                    ++reads;
                }
            });
            runClerks(clerks);
            QVERIFY2(problems.empty(), qPrintable(problems.text()));
            const QStringList after = dayWipTable(db.rows(QString::fromLatin1(kDayWipQuery)));
            QVERIFY2(expected.contains(after), qPrintable(after.join(QStringLiteral("; "))));
        }
        QCOMPARE(runs.load(), 6 * 4 * 3);
        QVERIFY(reads > 0);
    }

    // Three clerks save progress for the same contracts in the same order, step by
    // step together, while a fourth deletes headers. The end state is one the saves
    // and deletions taken in turn would give: at most one record per contract, every
    // saved value there unless the same clerk saved a later one, nothing of a
    // refused save, and no save that began after a header's deletion written.
    void savesAndHeaderDeletionsTakeTurns_data() { wip::test::addEngineRows(); }
    void savesAndHeaderDeletionsTakeTurns()
    {
        WIP_TEST_DATABASE(db);
        const QStringList columns = {"wax_in", "qc_in", "rhodium_out"};   // one per clerk
        const QStringList order = {"KN1", "KD4", "KS1", "KN2", "KD1", "KD5", "KS2", "KN3",
                                   "KD2", "KN4", "KD6", "KN5", "KD3", "KN6"};
        const QStringList deleted = {"KD1", "KD2", "KD3", "KD4", "KD5", "KD6"};
        const QStringList withRecord = {"KS1", "KS2", "KD1", "KD2", "KD3"};
        for (const QString &scno : order) {
            QVERIFY(db.insert("sconh", {{"scno", scno}, {"cust_no", "C01"}}));
            if (withRecord.contains(scno))
                QVERIFY(db.insert("process", {{"scno", scno}, {"wax_in", 1}, {"qc_in", 1}, {"rhodium_out", 1}}));
        }

        Problems problems;
        std::mutex recordsMutex;
        std::vector<SaveRecord> saves;
        std::map<QString, DeleteRecord> deletions;
        constexpr int kRounds = 3;
        std::barrier step(3);

        std::vector<std::function<void()>> clerks;
        for (int clerk = 0; clerk < 3; ++clerk) {
            clerks.push_back([&, clerk] {
                auto tr = connectDesk(db.settings(), problems);
                for (int round = 0; round < kRounds; ++round) {
                    for (int c = 0; c < order.size(); ++c) {
                        step.arrive_and_wait();
                        if (!tr)
                            continue;
                        SaveRecord s{clerk, order[c], double((clerk + 1) * 1000 + round * 100 + c), 0,
                                     Result::Failed, Clock::now(), {}};
                        reports::DataStore ds;
                        ds.setDataObject(QStringLiteral("d_w_process_input"));
                        ds.SetTransObject(*tr);
                        s.retrievedRows = ds.Retrieve({s.scno});
                        if (s.retrievedRows < 0) {
                            problems.add(QStringLiteral("retrieve of %1 failed").arg(s.scno));
                            continue;
                        }
                        int row = 1;
                        if (s.retrievedRows == 0) {
                            row = ds.InsertRow(0);
                            ds.SetItem(row, QStringLiteral("scno"), s.scno);
                        }
                        ds.SetItem(row, columns[clerk], s.value);
                        s.result = ContractWrites::saveProcess(ds, *tr);
                        s.end = Clock::now();
                        std::lock_guard lock(recordsMutex);
                        saves.push_back(s);
                    }
                }
            });
        }
        clerks.push_back([&] {
            auto tr = connectDesk(db.settings(), problems);
            QThread::msleep(5);
            for (const QString &scno : deleted + QStringList{"KX9"}) {
                if (!tr)
                    break;
                DeleteRecord d{false, Clock::now(), {}};
                d.ok = ContractWrites::deleteHeader(scno, *tr);
                d.end = Clock::now();
                {
                    std::lock_guard lock(recordsMutex);
                    deletions[scno] = d;
                }
                QThread::msleep(4);
            }
        });
        runClerks(clerks);
        QVERIFY2(problems.empty(), qPrintable(problems.text()));
        QCOMPARE(int(saves.size()), 3 * kRounds * int(order.size()));

        // Each deletion of an existing header succeeded, and only those headers are gone.
        for (const QString &scno : deleted)
            QVERIFY2(deletions.count(scno) && deletions[scno].ok, qPrintable(scno));
        QVERIFY(deletions.count("KX9") && !deletions["KX9"].ok);
        QCOMPARE(db.scalar("select count(*) from sconh").toInt(), int(order.size() - deleted.size()));

        // At most one record per contract; every contract a clerk saved has one.
        QCOMPARE(db.rows("select scno from process group by scno having count(*) > 1").size(), 0);

        for (const SaveRecord &s : saves) {
            const QString what = QStringLiteral("clerk %1, %2: %3").arg(s.clerk).arg(s.scno, resultName(s.result));
            QVERIFY2(s.result != Result::Failed, qPrintable(what));
            // A record found missing only when the clerk's own read found none.
            if (s.result == Result::RecordExists)
                QVERIFY2(s.retrievedRows == 0, qPrintable(what));
            if (!deleted.contains(s.scno)) {
                QVERIFY2(s.result != Result::HeaderGone, qPrintable(what));
                continue;
            }
            const DeleteRecord &d = deletions[s.scno];
            // Refused for a deleted header only once the deletion had begun; saved
            // only when the save began before the deletion was done.
            if (s.result == Result::HeaderGone)
                QVERIFY2(s.end >= d.start, qPrintable(what));
            if (s.result == Result::Saved)
                QVERIFY2(s.start <= d.end, qPrintable(what + QStringLiteral(", after the deletion")));
        }

        // Each clerk's column holds the value of its last saved save, or what was
        // there before: no save lost, nothing of a refused one written.
        for (const QString &scno : order) {
            const auto rows = db.rows("select wax_in, qc_in, rhodium_out from process where scno = ?", {scno});
            bool anySaved = false;
            for (int clerk = 0; clerk < 3; ++clerk) {
                QVariant want = withRecord.contains(scno) ? QVariant(1.0) : QVariant();
                for (const SaveRecord &s : saves) {
                    if (s.clerk == clerk && s.scno == scno && s.result == Result::Saved) {
                        want = s.value;
                        anySaved = true;
                    }
                }
                if (rows.isEmpty()) {
                    QVERIFY2(want.isNull(), qPrintable(scno + QStringLiteral(": saved, but no record")));
                    continue;
                }
                const QVariant have = rows.first().value(clerk);
                QVERIFY2(have.isNull() == want.isNull()
                                 && (want.isNull() || have.toDouble() == want.toDouble()),
                         qPrintable(QStringLiteral("%1 %2: %3 instead of %4")
                                            .arg(scno, columns[clerk], have.toString(), want.toString())));
            }
            if (!deleted.contains(scno))
                QVERIFY2(anySaved && rows.size() == 1, qPrintable(scno));
        }
    }

    // Steps finished at other desks and progress saves go on while two clerks
    // recompute 2004-03-01 (a first of the month: the month's figures equal the
    // day's). Each run reads the factory as of one moment: in every table read the
    // day's and month's figures agree, a department's finished and open pieces add
    // up to its pieces, and the stones set follow the setting figures.
    void recomputationReadsOneMomentWhileOthersWrite_data() { wip::test::addEngineRows(); }
    void recomputationReadsOneMomentWhileOthersWrite()
    {
        WIP_TEST_DATABASE(db);
        const QStringList departments = prochDepartments();
        QVERIFY(db.insert("scond", {{"scno", "KC2"}, {"article_code", "A1"}, {"design_no", "D1"}, {"quantity", 2}}));
        QVERIFY(db.insert("artsd", {{"article_code", "A1"}, {"stone_code", "S1"}, {"settype_code", "钉镶"}, {"qtycal", 4}}));
        QVERIFY(db.insert("sconh", {{"scno", "KC2"}, {"cust_no", "C01"}}));
        QVERIFY(db.insert("process", {{"scno", "KC2"}, {"wax_in", 0}}));
        std::map<QString, double> pieces;
        for (int i = 0; i < departments.size(); ++i) {
            QVERIFY(addStep(db, "KC2", departments[i], day(1), 2));
            pieces[departments[i]] = 2;
            for (int n = 0; n < 25; ++n) {
                QVERIFY(addStep(db, "KC2", departments[i], QVariant(), 1 + n % 3));
                pieces[departments[i]] += 1 + n % 3;
            }
        }
        QList<long long> open;
        for (const QVariantList &r : db.rows("select proch_id from proch where edtime is null order by qty, proch_id"))
            open.append(r.value(0).toLongLong());
        QCOMPARE(open.size(), 25 * int(departments.size()));

        Problems problems;
        std::atomic<bool> recording = true;
        std::atomic<int> checked = 0;
        std::atomic<int> saved = 0;
        auto check = [&](const QStringList &table) {
            for (const QString &line : table) {
                const QStringList f = line.split(QLatin1Char(' '));   // dep fin tot set mset wip
                if (f.size() != 6 || !pieces.count(f[0]))
                    continue;
                const double fin = f[1].toDouble(), tot = f[2].toDouble(), wipQty = f[5].toDouble();
                bool ok = fin == tot && fin + wipQty == pieces[f[0]];
                if (f[0] == QStringLiteral("06-镶石"))
                    ok = ok && f[3].toDouble() == 4 * fin && f[4].toDouble() == 4 * fin;
                if (!ok)
                    problems.add(QStringLiteral("a mixture: ") + line);
            }
            ++checked;
        };

        std::vector<std::function<void()>> clerks;
        clerks.push_back([&] {   // finishes one open step after another, each committed at once
            auto tr = connectDesk(db.settings(), problems);
            for (long long id : open) {
                if (!tr)
                    break;
                if (!tr->execute(QStringLiteral("update proch set edtime = ? where proch_id = ?"), {day(1), id})
                    || !tr->commit())
                    problems.add(QStringLiteral("finishing a step failed: ") + tr->sqlErrText);
            }
            recording = false;
        });
        for (int r = 0; r < 2; ++r) {
            clerks.push_back([&] {
                auto tr = connectDesk(db.settings(), problems);
                // At least a few runs, and on until the steps are all recorded.
                for (int n = 0; tr && (n < 3 || recording); ++n) {
                    if (!recompute_day_wip(QStringLiteral("2004-03-01"), *tr))
                        problems.add(QStringLiteral("a run failed"));
                    check(readDayWip(*tr));
                    // Runs are minutes apart at a desk. Back to back they would hand
                    // SQLite's write lock to each other: a waiting writer sleeps and
                    // polls rather than queueing, so it could starve past its timeout.
                    QThread::msleep(30);
                }
            });
        }
        clerks.push_back([&] {   // saves the contract's progress meanwhile
            auto tr = connectDesk(db.settings(), problems);
            for (int n = 1; tr && (n < 5 || recording); ++n) {
                reports::DataStore ds;
                ds.setDataObject(QStringLiteral("d_w_process_input"));
                ds.SetTransObject(*tr);
                if (ds.Retrieve({QStringLiteral("KC2")}) != 1) {
                    problems.add(QStringLiteral("the record is not there"));
                    break;
                }
                ds.SetItem(1, QStringLiteral("wax_in"), n);
                if (ContractWrites::saveProcess(ds, *tr) != Result::Saved)
                    problems.add(QStringLiteral("a progress save failed"));
                else
                    saved = n;
            }
        });
        runClerks(clerks);
        QVERIFY2(problems.empty(), qPrintable(problems.text()));
        QVERIFY(checked >= 6);
        QCOMPARE(db.scalar("select wax_in from process where scno = 'KC2'").toInt(), saved.load());

        // Every step finished now; one more run counts them all.
        QVERIFY(recompute_day_wip(QStringLiteral("2004-03-01"), db.tr()));
        const auto rows = db.rows("select dep_c, today_fin, wip from day_wip");
        for (const QVariantList &r : rows) {
            if (pieces.count(r[0].toString())) {
                QCOMPARE(r[1].toDouble(), pieces[r[0].toString()]);
                QCOMPARE(r[2].toDouble(), 0.0);
            }
        }
    }

    // A save meets what another desk did to the stored record since it was read:
    // a changed or deleted record that is gone fails the save and writes nothing,
    // and the rows keep their states so the clerk can save them again; a record
    // replaced by a new one in one save is still the contract's only record.
    void saveMeetsRecordsChangedElsewhere_data() { wip::test::addEngineRows(); }
    void saveMeetsRecordsChangedElsewhere()
    {
        WIP_TEST_DATABASE(db);
        for (const char *scno : {"KC1", "KC2"}) {
            QVERIFY(db.insert("sconh", {{"scno", scno}, {"cust_no", "C01"}}));
            QVERIFY(db.insert("process", {{"scno", scno}, {"wax_in", 1}}));
        }
        auto store = [&](const char *scno) {
            auto ds = std::make_unique<reports::DataStore>(QStringLiteral("d_w_process_input"));
            ds->SetTransObject(db.tr());
            return ds->Retrieve({QString::fromLatin1(scno)}) == 1 ? std::move(ds) : nullptr;
        };

        auto changed = store("KC1");
        auto removed = store("KC1");
        QVERIFY(changed && removed);
        changed->SetItem(1, QStringLiteral("wax_in"), 5);
        removed->DeleteRow(1);
        QVERIFY(db.exec("delete from process where scno = 'KC1'"));
        QCOMPARE(ContractWrites::saveProcess(*changed, db.tr()), Result::Failed);
        QCOMPARE(ContractWrites::saveProcess(*removed, db.tr()), Result::Failed);
        QCOMPARE(changed->ModifiedCount(), 1);
        QCOMPARE(removed->DeletedCount(), 1);
        QCOMPARE(db.scalar("select count(*) from process where scno = 'KC1'").toInt(), 0);
        QVERIFY(!db.tr().inTransaction());

        auto replaced = store("KC2");
        QVERIFY(replaced);
        replaced->DeleteRow(1);
        const int row = replaced->InsertRow(0);
        replaced->SetItem(row, QStringLiteral("scno"), QStringLiteral("KC2"));
        replaced->SetItem(row, QStringLiteral("wax_in"), 9);
        QCOMPARE(ContractWrites::saveProcess(*replaced, db.tr()), Result::Saved);
        QCOMPARE(replaced->ModifiedCount() + replaced->DeletedCount(), 0);
        QCOMPARE(db.rows("select wax_in from process where scno = 'KC2'").size(), 1);
        QCOMPARE(db.scalar("select wax_in from process where scno = 'KC2'").toDouble(), 9.0);
    }

    // The window's side: a clerk whose contract another clerk has just deleted, or
    // who adds a record another clerk has just added, gets the failure message; the
    // record stays as typed and nothing is written.
    void windowSaveRefusedAfterAnotherClerksChange_data() { wip::test::addEngineRows(); }
    void windowSaveRefusedAfterAnotherClerksChange()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "C01"}}));
        QVERIFY(db.insert("scond", {{"scno", "KC1"}, {"design_no", "D100"}, {"quantity", 5}}));
        QVERIFY(db.useAsApplicationDatabase());
        w = qobject_cast<w_scno_process *>(Window::Open(QStringLiteral("w_scno_process")));
        QVERIFY(w);
        QTRY_COMPARE(w->scno(), QStringLiteral("KC1"));
        auto &add = w->control<CommandButton>(QStringLiteral("cb_scond_add"));
        auto &update = w->control<CommandButton>(QStringLiteral("cb_printpo"));
        auto &process = w->control<reports::ReportControl>(QStringLiteral("dw_process"));
        QVERIFY(add.isEnabled());

        // Another desk adds KC1's record after this window read none.
        QVERIFY(db.insert("process", {{"scno", "KC1"}, {"wax_in", 7}}));
        QTest::mouseClick(&add, Qt::LeftButton);
        QTest::mouseClick(&update, Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().size(), 1);
        QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("保存数据未成功!"));
        QCOMPARE(db.scalar("select count(*) from process where scno = 'KC1'").toInt(), 1);
        QCOMPARE(db.scalar("select wax_in from process where scno = 'KC1'").toDouble(), 7.0);
        QCOMPARE(process.RowCount(), 1);
        QVERIFY(w->processModified());

        // Once that record is gone, the same typed record saves.
        QVERIFY(db.exec("delete from process"));
        QTest::mouseClick(&update, Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("保存数据成功!"));
        QCOMPARE(db.scalar("select count(*) from process where scno = 'KC1'").toInt(), 1);

        // Another desk deletes the header; a change to the record is refused.
        Transaction other;
        other.settings = db.settings();
        QVERIFY(other.connect());
        QVERIFY(ContractWrites::deleteHeader(QStringLiteral("KC1"), other));
        QVERIFY(!ContractWrites::deleteHeader(QStringLiteral("KC1"), other));
        process.SetItem(1, QStringLiteral("wax_out"), 3);
        QTest::mouseClick(&update, Qt::LeftButton);
        QCOMPARE(MessageBoxService::shown().last().text, QStringLiteral("保存数据未成功!"));
        QCOMPARE(db.scalar("select wax_out from process where scno = 'KC1'").toDouble(), 0.0);
        QCOMPARE(process.GetItemNumber(1, QStringLiteral("wax_out")), 3.0);
        QVERIFY(w->processModified());

        // Closed without saving, before this test's database goes.
        MessageBoxService::queueAnswer(2);
        w->Close();
        QCoreApplication::processEvents();
        QVERIFY(!w || !w->isVisible());
    }

    // Two scan stations take the same pile of tickets at once, first received
    // at 唧蜡, then transferred out: each ticket is recorded by exactly one of
    // them (the other is refused), and the record ends as the scans
    // taken in turn would leave it, with one scan row per ticket and action.
    void twoStationsScanAsIfInTurns_data() { wip::test::addEngineRows(); }
    void twoStationsScanAsIfInTurns()
    {
        WIP_TEST_DATABASE(db);
        constexpr int kTickets = 12;
        QVERIFY(db.insert("sconh", {{"scno", "KC1"}, {"cust_no", "C1"}}));
        double total = 0;
        for (int i = 1; i <= kTickets; ++i) {
            QVERIFY(db.insert("scond", {{"scno", "KC1"}, {"design_no", "D1"}, {"quantity", i}}));
            total += i;
        }
        const ScanDepartment &wax = *ScanDepartment::find(QStringLiteral("唧蜡"));
        for (const ScanAction action : {ScanAction::In, ScanAction::Out}) {
            // A second receipt would pass the line's quantity; a second transfer is a repeat.
            const auto refusal = action == ScanAction::In ? ScanOutcome::Result::OverScan : ScanOutcome::Result::Duplicate;
            Problems problems;
            std::mutex mutex;
            std::map<ScanOutcome::Result, int> results;
            std::vector<std::function<void()>> stations;
            for (int s = 0; s < 2; ++s) {
                stations.push_back([&, s] {
                    auto tr = connectDesk(db.settings(), problems);
                    if (!tr)
                        return;
                    ScanStation station(*tr, {QStringLiteral("S%1").arg(s), QStringLiteral("test")}, QStringLiteral("A"));
                    for (int i = 1; i <= kTickets; ++i) {
                        // One station goes up the pile, the other down, so they meet in the middle.
                        const int n = s == 0 ? i : kTickets + 1 - i;
                        const ScanOutcome o = station.scan(QStringLiteral("KC1-%1").arg(n), wax, action);
                        std::lock_guard lock(mutex);
                        ++results[o.result];
                        if (!o.done() && o.result != refusal)
                            problems.add(o.message);
                    }
                    tr->disconnect();
                });
            }
            runClerks(stations);
            QVERIFY2(problems.empty(), qPrintable(problems.text()));
            QCOMPARE(results[ScanOutcome::Result::Done], kTickets);
            QCOMPARE(results[refusal], kTickets);
        }
        QCOMPARE(db.scalar("select count(*) from process where scno = 'KC1'").toInt(), 1);
        const QList<QVariantList> record = db.rows("select wax_in, wax_out, casting_in from process where scno = 'KC1'");
        QCOMPARE(record.first().value(0).toDouble(), total);
        QCOMPARE(record.first().value(1).toDouble(), total);
        QCOMPARE(record.first().value(2).toDouble(), total);
        QVERIFY(!db.scalar("select wax_date from process where scno = 'KC1'").isNull());
        QCOMPARE(db.scalar("select count(*) from audit_log where field like 'scan:%'").toInt(), 2 * kTickets);
    }
};

QTEST_MAIN(ConcurrentClerksTest)
#include "tst_concurrentclerks.moc"
