// Day one of a factory: a database made by init-db without the demo, holding
// only the fixed codes, the department rows and its administrator. Every report
// of the catalogue runs on it (empty) and every window of the application opens
// on it without a database error or a message, on both engines.

#include "app/windowclasses.h"
#include "database/initdatabase.h"
#include "database/useraccounts.h"
#include "database/useradmin.h"
#include "reports/catalogue.h"
#include "reports/datastore.h"
#include "reports/widgets/s_preview.h"
#include "runtime/appglobals.h"
#include "runtime/trace.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/window.h"
#include "testdatabase.h"

#include <QPointer>
#include <QTemporaryDir>
#include <QtTest>

using wip::MessageBoxService;
using wip::Trace;
using wip::Window;
using namespace wip::test;

namespace {

// An argument of each type, as a clerk would give it on the first day.
QVariant argumentFor(wip::reports::ArgumentType type)
{
    using T = wip::reports::ArgumentType;
    switch (type) {
    case T::String: return QStringLiteral("KC1");
    case T::Number: return 1;
    case T::Date: return QDate::currentDate();
    case T::DateTime: return QDateTime(QDate::currentDate(), QTime(0, 0));
    case T::StringList: return QStringList{QStringLiteral("KC1")};
    case T::NumberList: return QVariantList{1};
    }
    return {};
}

QString problems()
{
    QStringList lines;
    for (const QString &line : Trace::captured()) {
        if (line.contains(QLatin1String("PROBLEM")) || line.contains(QLatin1String("Database error")))
            lines << line;
    }
    for (const auto &m : MessageBoxService::shown())
        lines << QStringLiteral("message: ") + m.text;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

class TestFreshDatabase : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> m_db;
    QTemporaryDir m_folder;

    // The factory database as `wip init-db --admin BOSS` makes it.
    bool makeFactory(Engine engine)
    {
        m_db = std::make_unique<TestDatabase>(engine, false);
        if (!m_db->isValid())
            return false;
        const wip::InitResult made = wip::initDatabase(m_db->tr(), wip::InitOptions{});
        wip::UserAdmin admin(m_db->tr(), {QStringLiteral("os:test"), QStringLiteral("wip init-db")});
        if (!made.ok || !admin.addUser("BOSS", "主管", "boss-pass-1", wip::RightsCatalogue::every(), false))
            return false;
        wip::user_code() = QStringLiteral("BOSS");
        wip::setQxpdFunction([](const QString &user, const QString &module, const QString &function) {
            return wip::UserAccounts::rights(wip::Transaction::sqlca(), user, module, function);
        });
        return m_db->useAsApplicationDatabase();
    }

    static QStringList engines()
    {
        QStringList list{QStringLiteral("sqlite")};
        if (postgresConfigured())
            list << QStringLiteral("postgresql");
        return list;
    }

private Q_SLOTS:
    void initTestCase()
    {
        MessageBoxService::setScripted(true);
        wip::WindowClasses::registerAll();
    }

    void cleanup()
    {
        MessageBoxService::clear();
        Trace::clearCaptured();
        wip::setQxpdFunction({});
        m_db.reset();
    }

    void everyReportRuns_data()
    {
        QTest::addColumn<QString>("engine");
        for (const QString &e : engines())
            QTest::newRow(qPrintable(e)) << e;
    }
    void everyReportRuns()
    {
        QFETCH(QString, engine);
        QVERIFY(makeFactory(engineFromName(engine)));
        const QStringList names = wip::reports::Catalogue::instance().names();
        QVERIFY(names.size() > 30);
        for (const QString &name : names) {
            const auto definition = wip::reports::Catalogue::instance().find(name);
            QVariantList args;
            for (const auto &a : definition->arguments)
                args << argumentFor(a.type);
            wip::reports::DataStore report;
            report.setDefinition(definition);
            report.SetTransObject(m_db->tr());
            QVERIFY2(report.Retrieve(args) >= 0, qPrintable(name + u": " + problems()));
            QVERIFY2(problems().isEmpty(), qPrintable(name + u": " + problems()));
        }
    }

    void everyWindowOpens_data()
    {
        QTest::addColumn<QString>("engine");
        QTest::addColumn<QString>("className");
        for (const QString &e : engines()) {
            for (const QString &name : Window::registeredClasses())
                QTest::newRow(qPrintable(e + u'/' + name)) << e << name;
        }
    }
    void everyWindowOpens()
    {
        QFETCH(QString, engine);
        QFETCH(QString, className);
        QVERIFY(makeFactory(engineFromName(engine)));
        QPointer<Window> window;
        if (className == QLatin1String("w_preview")) {
            // The print preview shows a saved report: the day's output, empty.
            wip::reports::DataStore report(QStringLiteral("d_wip_today44"));
            report.SetTransObject(wip::Transaction::sqlca());
            QVERIFY(report.Retrieve() >= 0);
            wip::reports::s_preview s;
            s.dw_name = m_folder.filePath(QStringLiteral("temp.psr"));
            report.SaveAs(s.dw_name);
            window = Window::OpenWithParm(className, QVariant::fromValue(s));
        } else if (className == QLatin1String("w_bagticket_preview")) {
            // The bag tickets of the first contract the factory enters.
            QVERIFY(m_db->insert("sconh", {{"scno", "KC1"}, {"cust_no", "C1"}}));
            QVERIFY(m_db->insert("scond", {{"scno", "KC1"}, {"design_no", "D1"}, {"quantity", 2}}));
            window = Window::OpenWithParm(className, QStringList{QStringLiteral("KC1")});
        } else {
            window = Window::Open(className);
        }
        QVERIFY2(window && QTest::qWaitForWindowExposed(window), qPrintable(problems()));
        QTest::qWait(50);   // its open event runs queued
        QVERIFY2(problems().isEmpty(), qPrintable(problems()));
        if (const QString folder = qEnvironmentVariable("WIP_SCREENSHOTS"); !folder.isEmpty())
            window->grab().save(folder + QStringLiteral("/fresh-") + className + QStringLiteral(".png"));
        window->Close();
        QTRY_VERIFY(window.isNull());
    }
};

QTEST_MAIN(TestFreshDatabase)
#include "tst_freshdatabase.moc"
