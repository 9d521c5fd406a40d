// Password hashes: the PBKDF2 core against published vectors, and what verify()
// accepts and refuses.

#include "database/passwordhash.h"
#include "database/useraccounts.h"
#include "testdatabase.h"

#include <QElapsedTimer>
#include <QTest>

using namespace wip;

class tst_PasswordHash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void knownAnswers_data();
    void knownAnswers();
    void storedTextHasSchemeIterationsSaltAndHash();
    void rightPasswordVerifiesWrongDoesNot();
    void malformedOrWeakTextsNeverVerify_data();
    void malformedOrWeakTextsNeverVerify();
    void usersAndRightsTables_data() { test::addEngineRows(); }
    void usersAndRightsTables();
    void loginCodeInAnyCase_data() { wip::test::addEngineRows(); }
    void loginCodeInAnyCase();
};

void tst_PasswordHash::knownAnswers_data()
{
    QTest::addColumn<QByteArray>("password");
    QTest::addColumn<QByteArray>("salt");
    QTest::addColumn<int>("iterations");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("c=1") << QByteArray("password") << QByteArray("salt") << 1
                         << QByteArray("120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
    QTest::newRow("c=2") << QByteArray("password") << QByteArray("salt") << 2
                         << QByteArray("ae4d0c95af6b46d32d0adff928f06dd02a303f8ef3c251dfd6e2d85a95474c43");
    QTest::newRow("c=4096") << QByteArray("password") << QByteArray("salt") << 4096
                            << QByteArray("c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
    // Two output blocks.
    QTest::newRow("64 bytes") << QByteArray("passwd") << QByteArray("salt") << 1
                              << QByteArray("55ac046e56e3089fec1691c22544b605f94185216dde0465e68b9d57c20dacbc"
                                            "49ca9cccf179b645991664b39d77ef317c71b845b1e30bd509112041d3a19783");
}

void tst_PasswordHash::knownAnswers()
{
    QFETCH(QByteArray, password);
    QFETCH(QByteArray, salt);
    QFETCH(int, iterations);
    QFETCH(QByteArray, hex);
    QCOMPARE(PasswordHash::pbkdf2Sha256(password, salt, iterations, int(hex.size() / 2)).toHex(), hex);
}

void tst_PasswordHash::storedTextHasSchemeIterationsSaltAndHash()
{
    const QString stored = PasswordHash::hash("secret");
    const QStringList parts = stored.split('$');
    QCOMPARE(parts.size(), 4);
    QCOMPARE(parts[0], QString("pbkdf2-sha256"));
    QVERIFY(parts[1].toInt() >= 100000);
    QCOMPARE(QByteArray::fromBase64(parts[2].toLatin1()).size(), 16);
    QCOMPARE(QByteArray::fromBase64(parts[3].toLatin1()).size(), 32);
    QVERIFY(!stored.contains("secret"));
    // A caller asking for fewer iterations still gets the minimum.
    QVERIFY(PasswordHash::hash("secret", 10).split('$')[1].toInt() >= PasswordHash::minimumIterations);
}

void tst_PasswordHash::rightPasswordVerifiesWrongDoesNot()
{
    const QString a = PasswordHash::hash("金仓2004");
    const QString b = PasswordHash::hash("金仓2004");
    QVERIFY(a != b);   // a fresh salt each time
    QVERIFY(PasswordHash::verify("金仓2004", a));
    QVERIFY(PasswordHash::verify("金仓2004", b));
    QVERIFY(!PasswordHash::verify("金仓2005", a));
    QVERIFY(!PasswordHash::verify("金仓2004 ", a));
    QVERIFY(!PasswordHash::verify("", a));
    const QString empty = PasswordHash::hash("");
    QVERIFY(PasswordHash::verify("", empty));
    QVERIFY(!PasswordHash::verify(" ", empty));
}

void tst_PasswordHash::malformedOrWeakTextsNeverVerify_data()
{
    QTest::addColumn<QString>("stored");
    const QString good = PasswordHash::hash("pw");
    const QStringList p = good.split('$');
    const QByteArray salt("0123456789abcdef");
    const QString weak = QStringLiteral("pbkdf2-sha256$1000$%1$%2")
                             .arg(QString::fromLatin1(salt.toBase64()),
                                  QString::fromLatin1(PasswordHash::pbkdf2Sha256("pw", salt, 1000, 32).toBase64()));
    QByteArray flipped = QByteArray::fromBase64(p[3].toLatin1());
    flipped[0] = char(flipped[0] ^ 1);
    QTest::newRow("empty") << QString();
    QTest::newRow("plain text") << QString("pw");
    QTest::newRow("other scheme") << QString(good).replace("pbkdf2-sha256", "pbkdf2-sha1");
    QTest::newRow("three parts") << QStringList(p.mid(0, 3)).join('$');
    QTest::newRow("iterations not a number") << QStringList{p[0], "many", p[2], p[3]}.join('$');
    QTest::newRow("too few iterations") << weak;
    QTest::newRow("absurd iterations") << QStringList{p[0], "2000000000", p[2], p[3]}.join('$');
    QTest::newRow("salt not base64") << QStringList{p[0], p[1], "!!!", p[3]}.join('$');
    QTest::newRow("short hash") << QStringList{p[0], p[1], p[2], "AAAA"}.join('$');
    QTest::newRow("one bit changed") << QStringList{p[0], p[1], p[2], QString::fromLatin1(flipped.toBase64())}.join('$');
}

void tst_PasswordHash::malformedOrWeakTextsNeverVerify()
{
    QFETCH(QString, stored);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!PasswordHash::verify("pw", stored));
    QVERIFY(timer.elapsed() < 20000);   // refused, not computed for ages
}

void tst_PasswordHash::usersAndRightsTables()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(UserAccounts::setUser(db.tr(), "U1", "收发 Clerk", "pw1"));
    QVERIFY(UserAccounts::setRights(db.tr(), "U1", "M05", "H06", "X04B"));
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "U1", "pw1"), UserAccounts::Login::Ok);
    QCOMPARE(UserAccounts::checkLogin(db.tr(), " U1 ", "pw1"), UserAccounts::Login::Ok);
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "U1", "PW1"), UserAccounts::Login::WrongPassword);
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "U2", "pw1"), UserAccounts::Login::UnknownUser);
    QCOMPARE(UserAccounts::rights(db.tr(), "U1", "M05", "H06"), QString("X04B"));
    QVERIFY(UserAccounts::rights(db.tr(), "U1", "M05", "H07").isNull());
    // Changing the password and the rights replaces them.
    QVERIFY(UserAccounts::setUser(db.tr(), "U1", "收发 Clerk", "pw2"));
    QVERIFY(UserAccounts::setRights(db.tr(), "U1", "M05", "H06", "X99A"));
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "U1", "pw1"), UserAccounts::Login::WrongPassword);
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "U1", "pw2"), UserAccounts::Login::Ok);
    QCOMPARE(UserAccounts::rights(db.tr(), "U1", "M05", "H06"), QString("X99A"));
    QCOMPARE(db.scalar("select count(*) from users").toInt(), 1);
    QCOMPARE(db.scalar("select count(*) from rights").toInt(), 1);
    // A user code that tries to break out of its value is just a code nobody has.
    QCOMPARE(UserAccounts::checkLogin(db.tr(), "x' or '1'='1", "pw2"), UserAccounts::Login::UnknownUser);
}

// The code is found in any case and gives back the code as stored, which the
// rights look-up needs; only codes that differ just in case need the exact one.
void tst_PasswordHash::loginCodeInAnyCase()
{
    WIP_TEST_DATABASE(db);
    QVERIFY(UserAccounts::setUser(db.tr(), "PLAN", "计划 Planner", "plan-2004"));
    QVERIFY(UserAccounts::setUser(db.tr(), "Qc", "品检", "qc-1"));
    QVERIFY(UserAccounts::setUser(db.tr(), "QC", "品检 2", "qc-2"));
    using L = UserAccounts::Login;
    const struct
    {
        const char *typed;
        const char *password;
        L outcome;
        const char *stored;
    } cases[] = {
        {"PLAN", "plan-2004", L::Ok, "PLAN"},     {"plan", "plan-2004", L::Ok, "PLAN"},
        {" Plan ", "plan-2004", L::Ok, "PLAN"},   {"plan", "PLAN-2004", L::WrongPassword, ""},
        {"plan%", "plan-2004", L::UnknownUser, ""}, {"pla_", "plan-2004", L::UnknownUser, ""},
        {"QC", "qc-2", L::Ok, "QC"},              {"Qc", "qc-1", L::Ok, "Qc"},
        {"qc", "qc-1", L::UnknownUser, ""},       {"qC", "qc-2", L::UnknownUser, ""},
    };
    for (const auto &c : cases) {
        QString stored;
        QCOMPARE(UserAccounts::checkLogin(db.tr(), c.typed, c.password, &stored), c.outcome);
        QCOMPARE(stored, QString::fromUtf8(c.stored));
    }
}

QTEST_GUILESS_MAIN(tst_PasswordHash)
#include "tst_passwordhash.moc"
