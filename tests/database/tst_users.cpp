// Users and rights: the rights texts the windows read for each combination of
// check boxes, and every change of UserAdmin on both engines with its audit
// rows and its refusals (a refused or failed change writes nothing); the
// upgrade of a version 2 database; the fixed codes of a new database.

#include "database/factorycodes.h"
#include "database/initdatabase.h"
#include "database/rightscatalogue.h"
#include "database/schema.h"
#include "database/useraccounts.h"
#include "database/useradmin.h"
#include "testdatabase.h"

#include <QSqlRecord>
#include <QTest>

using namespace wip;
using namespace wip::test;

namespace {

constexpr Rights kContract = Right::ContractAdd | Right::ContractEdit | Right::ContractDelete;

AuditSource admin()
{
    return {QStringLiteral("BOSS"), QStringLiteral("w_users")};
}

// The audit rows of the user changes, "field|old|new", in the order written.
QStringList auditRows(TestDatabase &db)
{
    QStringList rows;
    for (const QVariantList &r : db.rows("select field, old_value, new_value, scno, user_code, source from audit_log "
                                         "order by audit_id")) {
        QStringList parts;
        for (int i = 0; i < 3; ++i)
            parts << (r.at(i).isNull() ? QStringLiteral("NULL") : r.at(i).toString());
        if (!r.at(3).isNull() || r.at(4).toString() != admin().user || r.at(5).toString() != admin().source)
            parts << QStringLiteral("WRONG SOURCE");
        rows << parts.join(QLatin1Char('|'));
    }
    return rows;
}

int count(TestDatabase &db, const QString &table)
{
    return db.scalar(QStringLiteral("select count(*) from ") + table).toInt();
}

} // namespace

class tst_Users : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyCombinationOfBoxesReadsBack();
    void textsAsTheContractWindowReadsThem_data();
    void textsAsTheContractWindowReadsThem();
    void addedUserHasRightsTextsAndAudit_data() { addEngineRows(); }
    void addedUserHasRightsTextsAndAudit();
    void refusalsWriteNothing_data() { addEngineRows(); }
    void refusalsWriteNothing();
    void disabledUserCannotLogIn_data() { addEngineRows(); }
    void disabledUserCannotLogIn();
    void resetPasswordMustBeChanged_data() { addEngineRows(); }
    void resetPasswordMustBeChanged();
    void someoneKeepsTheUsersRight_data() { addEngineRows(); }
    void someoneKeepsTheUsersRight();
    void failedAuditTakesTheChangeWithIt_data() { addEngineRows(); }
    void failedAuditTakesTheChangeWithIt();
    void version2IsUpgraded_data() { addEngineRows(); }
    void version2IsUpgraded();
    void newDatabaseHoldsTheFixedCodes_data() { addEngineRows(); }
    void newDatabaseHoldsTheFixedCodes();
};

// Whatever boxes are ticked, the stored texts give back exactly those rights.
void tst_Users::everyCombinationOfBoxesReadsBack()
{
    for (unsigned mask = 0; mask < 0x80; ++mask) {
        const Rights rights = Rights::fromInt(mask);
        QHash<QString, QString> stored;
        for (const RightsCatalogue::Text &t : RightsCatalogue::textsFor(rights))
            stored.insert(t.module + u'/' + t.function, t.text);
        const Rights back = RightsCatalogue::rightsOf(
            [&](const QString &module, const QString &function) { return stored.value(module + u'/' + function); });
        QCOMPARE(back.toInt(), rights.toInt());
    }
    QCOMPARE(RightsCatalogue::contractText(kContract), QStringLiteral("X99A"));
    QCOMPARE(RightsCatalogue::contractText(Right::ContractAdd), QStringLiteral("X02B"));
    QCOMPARE(RightsCatalogue::contractText(Right::ContractEdit), QStringLiteral("X03B"));
    QCOMPARE(RightsCatalogue::contractText(Right::ContractDelete), QStringLiteral("X04B"));
    QVERIFY(RightsCatalogue::contractText(Right::Scan).isNull());
}

void tst_Users::textsAsTheContractWindowReadsThem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("rights");
    const int add = int(Right::ContractAdd), edit = int(Right::ContractEdit), del = int(Right::ContractDelete);
    // The texts the window always read keep their meaning.
    QTest::newRow("A") << "X99A" << (add | edit | del);
    QTest::newRow("A whatever else") << "Q04A" << (add | edit | del);
    QTest::newRow("08") << " X08B " << (add | edit | del);
    QTest::newRow("02") << "X02B" << add;
    QTest::newRow("03") << "X03B" << edit;
    QTest::newRow("04") << "X04B" << del;
    // Two of three, which no old text could say.
    QTest::newRow("23") << "X23B" << (add | edit);
    QTest::newRow("24") << "X24B" << (add | del);
    QTest::newRow("34") << "X34B" << (edit | del);
    // Nothing else grants anything, as before.
    QTest::newRow("32 reversed") << "X32B" << 0;
    QTest::newRow("20") << "X20B" << 0;
    QTest::newRow("05") << "X05B" << 0;
    QTest::newRow("short") << "02B" << 0;
    QTest::newRow("lower case") << "X02b" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("null") << QString() << 0;
}

void tst_Users::textsAsTheContractWindowReadsThem()
{
    QFETCH(QString, text);
    QFETCH(int, rights);
    QCOMPARE(RightsCatalogue::contractRights(text).toInt(), rights);
}

void tst_Users::addedUserHasRightsTextsAndAudit()
{
    WIP_TEST_DATABASE(db);
    UserAdmin users(db.tr(), admin());
    QVERIFY2(users.addUser(" PLAN ", "计划 Planner", "plan-pass-1", Right::ContractAdd | Right::ContractDelete | Right::Scan),
             qPrintable(users.error()));
    QCOMPARE(UserAccounts::rights(db.tr(), "PLAN", "M05", "H06"), QStringLiteral("X24B"));
    QCOMPARE(UserAccounts::rights(db.tr(), "PLAN", "M10", "H01"), QStringLiteral("X99A"));
    QVERIFY(UserAccounts::rights(db.tr(), "PLAN", "M10", "H04").isNull());
    QCOMPARE(count(db, "rights"), 2);
    bool mustChange = false;
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "plan", "plan-pass-1", nullptr, &mustChange), UserAccounts::Login::Ok);
    QVERIFY(mustChange);
    QCOMPARE(auditRows(db), (QStringList{"user:PLAN:name|NULL|计划 Planner", "user:PLAN:active|NULL|1",
                                         "user:PLAN:password|NULL|(set)", "user:PLAN:must_change|NULL|1",
                                         "rights:PLAN:M05/H06|NULL|X24B", "rights:PLAN:M10/H01|NULL|X99A"}));
    // Ticking the same again changes nothing and writes no row.
    QVERIFY(users.setRights("PLAN", Right::ContractAdd | Right::ContractDelete | Right::Scan));
    QCOMPARE(count(db, "audit_log"), 6);
    QVERIFY(users.setRights("plan", Right::ContractEdit));
    QCOMPARE(auditRows(db).mid(6), (QStringList{"rights:PLAN:M05/H06|X24B|X03B", "rights:PLAN:M10/H01|X99A|NULL"}));
    const auto info = users.user("Plan");
    QVERIFY(info);
    QCOMPARE(info->rights.toInt(), Rights(Right::ContractEdit).toInt());
    QCOMPARE(info->name, QStringLiteral("计划 Planner"));
}

void tst_Users::refusalsWriteNothing()
{
    WIP_TEST_DATABASE(db);
    UserAdmin users(db.tr(), admin());
    QVERIFY(users.addUser("PLAN", "计划", "plan-pass-1", Right::ContractAdd));
    const int audit = count(db, "audit_log");
    const struct
    {
        const char *code;
        const char *password;
        const char *why;
    } cases[] = {
        {"plan", "another-pass", "PLAN"},           // taken, in another case
        {"", "another-pass", "user code"},
        {"A B", "another-pass", "user code"},
        {"os:root", "another-pass", "user code"},
        {"X'--", "another-pass", "user code"},
        {"CLERK", "short7!", "8"},
    };
    for (const auto &c : cases) {
        QVERIFY2(!users.addUser(QString::fromUtf8(c.code), "x", QString::fromUtf8(c.password), Right::Users), c.code);
        QVERIFY2(users.error().contains(QString::fromUtf8(c.why)), qPrintable(users.error()));
    }
    QVERIFY(!users.resetPassword("PLAN", "short"));
    QVERIFY(!users.resetPassword("NOBODY", "long-enough-1"));
    QVERIFY(users.error().contains("NOBODY"));
    QVERIFY(!users.setRights("NOBODY", Right::Users));
    QVERIFY(!users.setActive("NOBODY", false));
    QCOMPARE(count(db, "users"), 1);
    QCOMPARE(count(db, "rights"), 1);
    QCOMPARE(count(db, "audit_log"), audit);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
}

void tst_Users::disabledUserCannotLogIn()
{
    WIP_TEST_DATABASE(db);
    UserAdmin users(db.tr(), admin());
    QVERIFY(users.addUser("CLERK", "收发", "clerk-pass-1", Right::ContractEdit, false));
    QVERIFY(users.setActive("clerk", false));
    // Told only to one who knows the password; a wrong one is wrong as ever.
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "CLERK", "clerk-pass-1"), UserAccounts::Login::Disabled);
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "CLERK", "guess-1234"), UserAccounts::Login::WrongPassword);
    QVERIFY(UserAccounts::rights(db.tr(), "CLERK", "M05", "H06").isNull());
    QVERIFY(users.setActive("CLERK", true));
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "CLERK", "clerk-pass-1"), UserAccounts::Login::Ok);
    QCOMPARE(UserAccounts::rights(db.tr(), "CLERK", "M05", "H06"), QStringLiteral("X03B"));
    // Four rows of the user, one of its rights text, then the two changes.
    QCOMPARE(auditRows(db).mid(5), (QStringList{"user:CLERK:active|1|0", "user:CLERK:active|0|1"}));
    QCOMPARE(count(db, "users"), 1);   // never deleted
}

void tst_Users::resetPasswordMustBeChanged()
{
    WIP_TEST_DATABASE(db);
    UserAdmin users(db.tr(), admin());
    QVERIFY(users.addUser("QC", "品检", "qc-pass-01", {}, false));
    QVERIFY(users.resetPassword("QC", "reset-pass-2"));
    bool mustChange = false;
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "QC", "reset-pass-2", nullptr, &mustChange), UserAccounts::Login::Ok);
    QVERIFY(mustChange);
    UserAdmin self(db.tr(), {QStringLiteral("QC"), QStringLiteral("w_password")});
    QVERIFY(!self.changeOwnPassword("QC", "qc-pass-01", "own-pass-33"));
    QVERIFY(self.error().contains(QStringLiteral("旧密码")));
    QVERIFY(!self.changeOwnPassword("QC", "reset-pass-2", "reset-pass-2"));
    QVERIFY(!self.changeOwnPassword("QC", "reset-pass-2", "short"));
    QVERIFY2(self.changeOwnPassword("QC", "reset-pass-2", "own-pass-33"), qPrintable(self.error()));
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "QC", "own-pass-33", nullptr, &mustChange), UserAccounts::Login::Ok);
    QVERIFY(!mustChange);
    const auto passwordRows = db.rows("select field, new_value from audit_log where field in (?, ?) order by audit_id",
                                      {"user:QC:password", "user:QC:must_change"});
    QStringList written;
    for (const QVariantList &r : passwordRows)
        written << r.at(0).toString().section(u':', 2) + u'=' + r.at(1).toString();
    QCOMPARE(written, (QStringList{"password=(set)", "must_change=0", "password=(reset)", "must_change=1",
                                   "password=(changed)", "must_change=0"}));
    // The hash is never written to the trail.
    QCOMPARE(db.scalar("select count(*) from audit_log where new_value like 'pbkdf2%' or old_value like 'pbkdf2%'")
                 .toInt(),
             0);
    QCOMPARE(db.scalar("select new_value from audit_log where field = 'user:QC:password' order by audit_id desc")
                 .toString(),
             QStringLiteral("(changed)"));
}

// At least one active user keeps the users right: nobody locks the factory out
// of its own users window by a click. Oneself is never disabled.
void tst_Users::someoneKeepsTheUsersRight()
{
    WIP_TEST_DATABASE(db);
    UserAdmin users(db.tr(), admin());
    QVERIFY(users.addUser("BOSS", "主管", "boss-pass-1", RightsCatalogue::every(), false));
    QVERIFY(users.addUser("ADMIN2", "管理员", "admin-pass-1", Right::Users, false));
    QVERIFY(!users.setActive("BOSS", false));
    QVERIFY(users.error().contains(QStringLiteral("自己")));
    QVERIFY(users.setActive("ADMIN2", false));
    QVERIFY(!users.setRights("BOSS", Right::Scan));
    QVERIFY(users.error().contains(QStringLiteral("用户")));
    UserAdmin other(db.tr(), {QStringLiteral("SOMEONE"), QStringLiteral("wip user")});
    QVERIFY(!other.setActive("BOSS", false));
    QVERIFY(other.setActive("ADMIN2", true));
    QVERIFY(other.setActive("BOSS", false));
    QCOMPARE(UserAccounts::rights(db.tr(), "BOSS", "M10", "H04"), QString());
    QCOMPARE(UserAccounts::rights(db.tr(), "ADMIN2", "M10", "H04"), QStringLiteral("X99A"));
}

// The audit rows are written in the change's own transaction: when they cannot
// be, the change is not made either.
void tst_Users::failedAuditTakesTheChangeWithIt()
{
    WIP_TEST_DATABASE(db);
    UserAdmin users(db.tr(), admin());
    QVERIFY(users.addUser("PLAN", "计划", "plan-pass-1", Right::ContractAdd));
    QVERIFY(db.exec("alter table audit_log rename to audit_log_away"));
    QVERIFY(!users.addUser("CLERK", "收发", "clerk-pass-1", Right::ContractEdit));
    QVERIFY(!users.setActive("PLAN", false));
    QVERIFY(!users.resetPassword("PLAN", "other-pass-2"));
    QVERIFY(!users.setRights("PLAN", Right::Users));
    QVERIFY(db.exec("alter table audit_log_away rename to audit_log"));
    QCOMPARE(count(db, "users"), 1);
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "PLAN", "plan-pass-1"), UserAccounts::Login::Ok);
    QCOMPARE(UserAccounts::rights(db.tr(), "PLAN", "M05", "H06"), QStringLiteral("X02B"));
    QVERIFY(UserAccounts::rights(db.tr(), "PLAN", "M10", "H04").isNull());
}

// A database of version 2 gains the columns of the users, the fixed codes where
// its code tables are empty, and the users right for the users whose sales
// contract rights were everything; its rows stay.
void tst_Users::version2IsUpgraded()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(db.exec("alter table users drop column must_change"));
    QVERIFY(db.exec("alter table users drop column active"));
    QVERIFY(db.exec("update wip_schema set version = 2"));
    QVERIFY(UserAccounts::setUser(db.tr(), "OLDADMIN", "管理员", "old-admin-1"));
    QVERIFY(UserAccounts::setRights(db.tr(), "OLDADMIN", "M05", "H06", "X99A"));
    QVERIFY(UserAccounts::setUser(db.tr(), "PLAN", "计划", "plan-pass-1"));
    QVERIFY(UserAccounts::setRights(db.tr(), "PLAN", "M05", "H06", "X08B"));
    QVERIFY(db.insert("stock", {{"stock_code", "99-本厂仓"}}));

    const UpgradeResult up = upgradeDatabase(db.tr());
    QVERIFY2(up.ok && up.fromVersion == 2, qPrintable(up.error));
    const QSqlRecord users = db.tr().database().record("users");
    QVERIFY(users.contains("active") && users.contains("must_change"));
    QCOMPARE(db.scalar("select version from wip_schema").toInt(), Schema::version);
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "OLDADMIN", "old-admin-1"), UserAccounts::Login::Ok);
    QCOMPARE(UserAccounts::rights(db.tr(), "OLDADMIN", "M10", "H04"), QStringLiteral("X99A"));
    QVERIFY(UserAccounts::rights(db.tr(), "PLAN", "M10", "H04").isNull());
    QCOMPARE(db.scalar("select count(*) from audit_log where field = 'rights:OLDADMIN:M10/H04' "
                       "and source = 'wip upgrade'").toInt(), 1);
    QCOMPARE(count(db, "gongxu"), int(FactoryCodes::processCodes().size()));
    QCOMPARE(count(db, "stock"), 1);   // a table the factory filled keeps what it holds
    QVERIFY2(db.isValid(), qPrintable(db.error()));
}

void tst_Users::newDatabaseHoldsTheFixedCodes()
{
    QFETCH(QString, engine);
    if (engineFromName(engine) == Engine::PostgreSQL && !postgresConfigured())
        QSKIP("PostgreSQL not configured: set WIP_TEST_POSTGRES (scripts/start-test-postgres)");
    TestDatabase db(engineFromName(engine), false);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    const InitResult made = initDatabase(db.tr(), InitOptions{});
    QVERIFY2(made.ok && made.created, qPrintable(made.error));
    QCOMPARE(count(db, "gongxu"), 18);
    QCOMPARE(count(db, "stock"), 11);
    QCOMPARE(count(db, "day_wip"), 7);
    QCOMPARE(count(db, "gongxu where gongxu_code = '06-镶石'"), 1);
    QCOMPARE(count(db, "stock where stock_code = '02-石仓收发'"), 1);
    QCOMPARE(count(db, "users"), 0);
    // The demo on top adds its factory, not the codes a second time.
    const InitResult demo = initDatabase(db.tr(), InitOptions{true, 1, QDate(2024, 5, 6)});
    QVERIFY2(demo.ok && demo.demoAdded, qPrintable(demo.error));
    QCOMPARE(count(db, "gongxu"), 18);
    QCOMPARE(count(db, "stock"), 11);
}

QTEST_GUILESS_MAIN(tst_Users)
#include "tst_users.moc"
