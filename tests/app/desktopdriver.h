#pragma once

// Runs the desktop application in a test: a home folder of its own, and the
// login dialog driven step by step (it runs modally, so each step is queued to
// run once it is the active modal window).

#include "app/apppaths.h"
#include "app/logindialog.h"
#include "runtime/settings.h"
#include "runtime/widgets/messageboxservice.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace wip::test {

// The test's user: home, data and settings in home; message boxes answered by the test.
inline void useHome(const QTemporaryDir &home)
{
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    qputenv("XDG_CONFIG_HOME", home.filePath("config").toUtf8());
    wip::AppPaths::setApplicationNames();
    wip::Settings::setFile(home.filePath("wip.ini"));
    wip::MessageBoxService::setScripted(true);
}

// Runs `step` on a dialog of the type once it is the active modal window (the
// first-start question, the login, the administrator's form, the password).
// The timer that waits for it is returned: a test that expects the dialog
// never to come deletes it.
template <class Dialog>
inline QTimer *whenShows(std::function<void(Dialog &)> step)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, step]() {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
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
    return timer;
}

inline void whenLoginShows(std::function<void(wip::LoginDialog &)> step)
{
    whenShows<wip::LoginDialog>(std::move(step));
}

// Types the text into the field; a text the test's keyboard cannot type
// (Chinese, which an input method would give) is set as it would arrive.
inline void typeInto(QWidget &parent, const char *name, const QString &text)
{
    auto *edit = parent.findChild<QLineEdit *>(QString::fromLatin1(name));
    QVERIFY2(edit, name);
    edit->clear();
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(edit, text);
    else
        edit->insert(text);
}

// Types the code and the password and presses Enter.
inline void typeLogin(wip::LoginDialog &d, const QString &code, const QString &password)
{
    typeInto(d, "sle_user", code);
    typeInto(d, "sle_password", password);
    QTest::keyClick(d.findChild<QLineEdit *>(QStringLiteral("sle_password")), Qt::Key_Return);
}

// Clicks the button of that object name (a command button or a command link).
inline void press(QWidget &parent, const char *name)
{
    auto *button = parent.findChild<QAbstractButton *>(QString::fromLatin1(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

// Saves a picture of the widget into $WIP_SCREENSHOTS, when it is set.
inline void saveScreenshot(QWidget &w, const QString &name)
{
    const QString folder = qEnvironmentVariable("WIP_SCREENSHOTS");
    if (!folder.isEmpty())
        w.grab().save(folder + QLatin1Char('/') + name);
}

} // namespace wip::test
