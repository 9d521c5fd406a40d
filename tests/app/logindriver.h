#pragma once

// Drives the login dialog of the desktop application from a test: the dialog
// runs modally, so each step is queued to run once it is the active modal window.

#include "app/logindialog.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace wip::test {

// Runs `step` on the login dialog once it is the active modal window.
inline void whenLoginShows(std::function<void(wip::LoginDialog &)> step)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step]() {
        auto *dialog = qobject_cast<wip::LoginDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        timer->stop();
        timer->deleteLater();
        step(*dialog);
        // A step that did not end the dialog must not leave the test waiting.
        if (dialog->isVisible())
            dialog->reject();
    });
    timer->start();
}

inline void typeInto(QWidget &parent, const char *name, const QString &text)
{
    auto *edit = parent.findChild<QLineEdit *>(QString::fromLatin1(name));
    QVERIFY2(edit, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Types the code and the password and presses Enter.
inline void typeLogin(wip::LoginDialog &d, const QString &code, const QString &password)
{
    typeInto(d, "sle_user", code);
    typeInto(d, "sle_password", password);
    QTest::keyClick(d.findChild<QLineEdit *>(QStringLiteral("sle_password")), Qt::Key_Return);
}

// Saves a picture of the widget into $WIP_SCREENSHOTS, when it is set.
inline void saveScreenshot(QWidget &w, const QString &name)
{
    const QString folder = qEnvironmentVariable("WIP_SCREENSHOTS");
    if (!folder.isEmpty())
        w.grab().save(folder + QLatin1Char('/') + name);
}

} // namespace wip::test
