// Every statement a department desk runs to find rows of the tables that grow
// with the factory's work finds them through an index, never by reading the
// whole table: a bag taken through the desks (received, issued, taken back in
// two parts with returned filings, out for outside work and back, set with its
// stones, passed on), each statement the desk ran planned by SQLite.

#include "deskfixture.h"

#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

using namespace wip;
using namespace wip::test;
using A = DeskAction;

class DeskLookupsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyLookupUsesAnIndex();
};

void DeskLookupsTest::everyLookupUsesAnIndex()
{
    TestDatabase db(Engine::SQLite, QStringLiteral("new factory"), newFactory);
    QVERIFY2(db.isValid(), qPrintable(db.error()));
    QVERIFY(db.insert("worker", {{"changhao", "0101"}, {"xingming", "唧蜡工"}, {"gongxu_code", "01-唧腊"}, {"active", 1}}));
    QSet<QString> statements;
    Transaction::setStatementHook([&statements](Transaction &, const QString &sql) { statements.insert(sql); });
    DeskClerk desk(db.tr());
    const struct
    {
        A action;
        const char *dept, *weight, *pieces, *worker;
        const char *returned = "";
        bool outside = false;
    } steps[] = {
        {A::Receive, "唧蜡", "12", "", ""},        {A::Issue, "唧蜡", "12", "", "0101"},
        {A::TakeBack, "唧蜡", "11.9", "", ""},     {A::PassOn, "唧蜡", "11.9", "", ""},
        {A::Receive, "倒模", "11.9", "", ""},      {A::PassOn, "倒模", "11.9", "", ""},
        {A::Receive, "执模", "11.9", "", ""},      {A::Issue, "执模", "11.9", "", "0401"},
        {A::TakeBack, "执模", "5", "6", "", "0.2"}, {A::TakeBack, "执模", "6.6", "", ""},
        {A::PassOn, "执模", "11.6", "", "1101", "", true}, {A::Receive, "执模", "11.6", "", ""},
        {A::PassOn, "执模", "11.6", "", ""},       {A::Receive, "镶石", "11.6", "", ""},
        {A::Issue, "镶石", "11.6", "", "0601"},    {A::TakeBack, "镶石", "11.6", "", ""},
        {A::PassOn, "镶石", "11.6", "", ""},
    };
    for (const auto &s : steps) {
        DeskRequest r;
        r.action = s.action;
        r.code = QStringLiteral("KC1-1");
        r.department = QString::fromUtf8(s.dept);
        r.weight = QString::fromLatin1(s.weight);
        r.pieces = QString::fromLatin1(s.pieces);
        r.worker = QString::fromLatin1(s.worker);
        r.returned = QString::fromLatin1(s.returned);
        r.toOutside = s.outside;
        desk.now = desk.now.addSecs(600);
        const DeskOutcome o = desk.desk.act(r);
        QVERIFY2(o.done(), qPrintable(o.message));
    }
    Transaction::setStatementHook({});

    static const QRegularExpression scan(QStringLiteral(
        "^SCAN (proch|proch_new|matuse|work_report|work_wip|flreturn|jcjl_mattran|bag_place|audit_log|process|"
        "sconh|scond)\\b"));
    QStringList whole;
    int planned = 0;
    for (const QString &sql : std::as_const(statements)) {
        if (!sql.startsWith(QLatin1String("select"), Qt::CaseInsensitive)
            && !sql.startsWith(QLatin1String("update"), Qt::CaseInsensitive)
            && !sql.startsWith(QLatin1String("delete"), Qt::CaseInsensitive))
            continue;
        QSqlQuery q(db.tr().database());
        QVERIFY2(q.prepare(QStringLiteral("explain query plan ") + sql), qPrintable(q.lastError().text()));
        for (qsizetype i = 0; i < sql.count(QLatin1Char('?')); ++i)
            q.addBindValue(QVariant());
        QVERIFY2(q.exec(), qPrintable(q.lastError().text() + QStringLiteral(": ") + sql));
        ++planned;
        while (q.next()) {
            const QString detail = q.value(3).toString();
            if (scan.match(detail).hasMatch())
                whole << detail + QStringLiteral(": ") + sql;
        }
    }
    QVERIFY(planned > 20);
    QVERIFY2(whole.isEmpty(), qPrintable(whole.join(QLatin1Char('\n'))));
}

QTEST_GUILESS_MAIN(DeskLookupsTest)
#include "tst_desklookups.moc"
