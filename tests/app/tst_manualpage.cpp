// The manual page of the package, read with man as a user reads it, against
// what the program's --help says: every command, option, argument and line of
// description is on the page, and man has nothing to warn about.

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

// What a program writes, with stderr; run to its end.
QPair<QString, QString> run(const QString &program, const QStringList &args, const QStringList &env = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString &item : env)
        e.insert(item.section('=', 0, 0), item.section('=', 1));
    p.setProcessEnvironment(e);
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {QString(), program + QStringLiteral(" did not finish")};
    return {QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QString squeezed(const QString &text)
{
    return text.simplified();
}

} // namespace

class TestManualPage : public QObject
{
    Q_OBJECT

private:
    QString m_page;   // as man shows it, whitespace squeezed

private Q_SLOTS:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("man")).isEmpty())
            QSKIP("man (man-db) is not installed");
        QVERIFY2(QFile::exists(QStringLiteral(WIP_MANPAGE)), WIP_MANPAGE);
        const auto [page, warnings] = run(QStringLiteral("man"), {"-l", QStringLiteral(WIP_MANPAGE)},
                                          {"MANWIDTH=250", "MANPAGER=cat", "PAGER=cat", "LC_ALL=C.UTF-8"});
        QVERIFY2(!page.isEmpty(), qPrintable(warnings));
        m_page = squeezed(page);
    }

    // What lintian asks man: no warning of the formatter.
    void manHasNothingToWarnAbout()
    {
        const auto [page, warnings] = run(QStringLiteral("man"),
                                          {"--warnings", "-E", "UTF-8", "-l", "-Tutf8", "-Z", QStringLiteral(WIP_MANPAGE)},
                                          {"LC_ALL=C.UTF-8", "MANROFFSEQ=", "MANWIDTH=80"});
        QVERIFY(!page.isEmpty());
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings));
    }

    void listsWhatHelpSays_data()
    {
        QTest::addColumn<QString>("command");
        for (const char *c : {"", "init-db", "report", "recompute-day-wip", "tickets", "badges", "scan", "user", "backup",
                              "restore", "check", "close-day"})
            QTest::newRow(*c ? c : "desktop") << QString::fromLatin1(c);
    }

    void listsWhatHelpSays()
    {
        QFETCH(QString, command);
        QStringList args;
        if (!command.isEmpty())
            args << command;
        const auto [help, error] = run(QStringLiteral(WIP_BINARY), args << QStringLiteral("--help"));
        QVERIFY2(help.startsWith(QStringLiteral("Usage: wip")), qPrintable(help + error));

        static const QRegularExpression entry(QStringLiteral("^  (\\S.*?)(?:\\s{2,}(\\S.*))?$"));
        bool inLists = false;
        int checked = 0;
        for (const QString &line : help.split(QLatin1Char('\n'))) {
            QStringList expected;
            if (line.startsWith(QLatin1String("Usage: "))) {
                if (!command.isEmpty())
                    expected << line.mid(7);
            } else if (line == QLatin1String("Options:") || line == QLatin1String("Arguments:")) {
                inLists = true;
            } else if (inLists && line.startsWith(QLatin1String("   "))) {
                expected << line.trimmed();   // a description continued
            } else if (const auto m = entry.match(line); inLists && m.hasMatch()) {
                expected << QString(m.captured(1)).remove(QLatin1Char('<')).remove(QLatin1Char('>'))
                         << m.captured(2);
            } else if (!line.trimmed().isEmpty() && line != QLatin1String("Commands:")) {
                expected << line.trimmed();   // the description, the desktop's command lines
            }
            for (const QString &text : expected) {
                if (text.isEmpty())
                    continue;
                QVERIFY2(m_page.contains(squeezed(text)), qPrintable(QStringLiteral("not on the page: ") + text));
                ++checked;
            }
        }
        QVERIFY(checked >= 4);
    }
};

QTEST_GUILESS_MAIN(TestManualPage)
#include "tst_manualpage.moc"
