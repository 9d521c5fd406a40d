// The login dialog and its throttle, driven through the real widgets offscreen.

#include "app/logindialog.h"
#include "app/loginthrottle.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using wip::LoginDialog;
using wip::LoginThrottle;
using namespace std::chrono_literals;

class TestLogin : public QObject
{
    Q_OBJECT

private:
    struct Harness
    {
        int checks = 0;
        QStringList notices;
        LoginDialog::Outcome unavailableFor = LoginDialog::Outcome::Refused;

        std::unique_ptr<LoginDialog> make()
        {
            auto dialog = std::make_unique<LoginDialog>(
                [this](const QString &code, const QString &password) {
                    ++checks;
                    using O = LoginDialog::Outcome;
                    if (code == QLatin1String("DOWN"))
                        return LoginDialog::Check{O::Unavailable, QStringLiteral("server gone"), {}, false, false};
                    const bool ok = code == QLatin1String("A01") && password == QLatin1String("gold 18k");
                    return LoginDialog::Check{ok ? O::Accepted : O::Refused, {}, {}, false, false};
                },
                [this](const QString &, const QString &text) { notices << text; });
            dialog->show();
            return dialog;
        }
    };

    static void type(LoginDialog &d, const QString &code, const QString &password)
    {
        auto *user = d.findChild<QLineEdit *>(QStringLiteral("sle_user"));
        auto *pass = d.findChild<QLineEdit *>(QStringLiteral("sle_password"));
        QVERIFY(user && pass);
        user->clear();
        QTest::keyClicks(user, code);
        pass->clear();
        QTest::keyClicks(pass, password);
        QTest::keyClick(pass, Qt::Key_Return);
    }

private Q_SLOTS:
    void throttleDelaysGrowAfterFiveFailures()
    {
        LoginThrottle t;
        for (int i = 0; i < 4; ++i) {
            t.recordFailure();
            QCOMPARE(t.delay(), 0ms);
        }
        t.recordFailure();
        QCOMPARE(t.delay(), 1000ms);
        t.recordFailure();
        QCOMPARE(t.delay(), 2000ms);
        t.recordFailure();
        QCOMPARE(t.delay(), 4000ms);
        for (int i = 0; i < 100; ++i)
            t.recordFailure();
        QCOMPARE(t.delay(), LoginThrottle::maxDelay);
        t.recordSuccess();
        QCOMPARE(t.failures(), 0);
        QCOMPARE(t.delay(), 0ms);
    }

    void remainingWaitCountsFromTheLastFailure()
    {
        const QDateTime t0 = QDateTime::fromString("2026-12-07T08:00:00Z", Qt::ISODate);
        LoginThrottle t;
        t.restore(6, t0);                                         // a 2 s wait
        QCOMPARE(t.remaining(t0), 2000ms);
        QCOMPARE(t.remaining(t0.addMSecs(1500)), 500ms);
        QCOMPARE(t.remaining(t0.addSecs(60)), 0ms);
        QCOMPARE(t.remaining(t0.addSecs(-3600)), 2000ms);         // clock put back: the whole wait
        t.restore(6, {});                                         // a count without a time
        QCOMPARE(t.remaining(t0), 2000ms);
        t.restore(-3, t0);                                        // a settings file edited by hand
        QCOMPARE(t.failures(), 0);
        QCOMPARE(t.remaining(t0), 0ms);
        t.restore(4, t0);
        t.recordFailure(t0.addSecs(10));
        QCOMPARE(t.failures(), 5);
        QCOMPARE(t.remaining(t0.addSecs(10)), 1000ms);
    }

    void restoredCountWaitsAndIsStoredOnEachChange()
    {
        Harness h;
        auto d = h.make();
        QList<int> stored;
        d->setThrottleStore([&](const LoginThrottle &t) { stored << t.failures(); });
        d->restoreThrottle(5, QDateTime::currentDateTimeUtc());
        QVERIFY(d->waiting());
        QVERIFY(!d->findChild<QPushButton *>(QStringLiteral("cb_ok"))->isEnabled());
        type(*d, QStringLiteral("A01"), QStringLiteral("gold 18k"));
        QCOMPARE(h.checks, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!d->waiting(), 3000);

        // The sixth failure in a row waits 2 s, counting the five of the last run.
        type(*d, QStringLiteral("A01"), QStringLiteral("x"));
        QCOMPARE(d->throttle().failures(), 6);
        QVERIFY(d->findChild<QLabel *>(QStringLiteral("st_wait"))->text().contains("wait 2 s"));
        QTRY_VERIFY_WITH_TIMEOUT(!d->waiting(), 4000);
        type(*d, QStringLiteral("A01"), QStringLiteral("gold 18k"));
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(stored, (QList<int>{6, 0}));

        // A count whose wait is over does not hold back the first attempt.
        auto later = h.make();
        later->restoreThrottle(6, QDateTime::currentDateTimeUtc().addSecs(-30));
        QVERIFY(!later->waiting());
        QCOMPARE(later->throttle().failures(), 6);
    }

    void rightPasswordAccepts()
    {
        Harness h;
        auto d = h.make();
        type(*d, QStringLiteral(" A01 "), QStringLiteral("gold 18k"));
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QVERIFY(!d->isVisible());
        QCOMPARE(d->userCode(), QStringLiteral("A01"));
        QVERIFY(h.notices.isEmpty());
    }

    void wrongPasswordTellsAndStays()
    {
        Harness h;
        auto d = h.make();
        type(*d, QStringLiteral("A01"), QStringLiteral("silver"));
        QVERIFY(d->isVisible());
        QCOMPARE(h.notices, QStringList{LoginDialog::refusedText()});
        QVERIFY(d->findChild<QLineEdit *>(QStringLiteral("sle_password"))->text().isEmpty());
        QVERIFY(d->findChild<QLabel *>(QStringLiteral("st_message"))->text().contains("Wrong user code or password"));
        // A second try with the right password still gets in.
        type(*d, QStringLiteral("A01"), QStringLiteral("gold 18k"));
        QCOMPARE(d->result(), int(QDialog::Accepted));
    }

    void fifthFailureHoldsBackTheNextAttempt()
    {
        Harness h;
        auto d = h.make();
        for (int i = 0; i < 4; ++i) {
            type(*d, QStringLiteral("A01"), QStringLiteral("x"));
            QVERIFY(!d->waiting());
        }
        type(*d, QStringLiteral("A01"), QStringLiteral("x"));
        QCOMPARE(h.checks, 5);
        QVERIFY(d->waiting());
        QVERIFY(!d->findChild<QPushButton *>(QStringLiteral("cb_ok"))->isEnabled());
        QVERIFY(d->findChild<QLabel *>(QStringLiteral("st_wait"))->text().contains("wait 1 s"));
        // The countdown fits in the dialog, whole.
        const QLabel *wait = d->findChild<QLabel *>(QStringLiteral("st_wait"));
        QTRY_VERIFY(wait->isVisible() && wait->width() >= wait->sizeHint().width()
                    && wait->height() >= wait->sizeHint().height());
        QVERIFY(d->rect().contains(QRect(wait->mapTo(d.get(), QPoint(0, 0)), wait->size())));

        // Enter during the wait does not reach the check, even with the right password.
        type(*d, QStringLiteral("A01"), QStringLiteral("gold 18k"));
        QCOMPARE(h.checks, 5);
        QVERIFY(d->isVisible());

        QTRY_VERIFY_WITH_TIMEOUT(!d->waiting(), 3000);
        QVERIFY(d->findChild<QPushButton *>(QStringLiteral("cb_ok"))->isEnabled());
        type(*d, QStringLiteral("A01"), QStringLiteral("gold 18k"));
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(d->throttle().failures(), 0);
    }

    void unavailableDatabaseIsNamedAndNotCounted()
    {
        Harness h;
        auto d = h.make();
        for (int i = 0; i < 6; ++i)
            type(*d, QStringLiteral("DOWN"), QStringLiteral("x"));
        QCOMPARE(d->throttle().failures(), 0);
        QVERIFY(!d->waiting());
        QCOMPARE(h.notices.size(), 6);
        QVERIFY(h.notices.first().contains("server gone"));
    }

    void emptyCodeIsNotChecked()
    {
        Harness h;
        auto d = h.make();
        type(*d, QString(), QStringLiteral("pw"));
        QCOMPARE(h.checks, 0);
        QVERIFY(d->isVisible());
    }

    void cancelAndEscapeReject()
    {
        Harness h;
        auto d = h.make();
        QTest::mouseClick(d->findChild<QPushButton *>(QStringLiteral("cb_cancel")), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(!d->isVisible());

        auto e = h.make();
        e->setUserCode(QStringLiteral("A01"));
        QCOMPARE(e->findChild<QLineEdit *>(QStringLiteral("sle_user"))->text(), QStringLiteral("A01"));
        QTest::keyClick(e->findChild<QLineEdit *>(QStringLiteral("sle_password")), Qt::Key_Escape);
        QCOMPARE(e->result(), int(QDialog::Rejected));
        QCOMPARE(h.checks, 0);
    }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
