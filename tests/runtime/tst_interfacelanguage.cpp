#include "runtime/widgets/interfacelanguage.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QtTest>

// Qt's own dialogs (print, page setup, save) speak the interface's language.
class TestInterfaceLanguage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void qtDialogsSpeakChinese()
    {
        const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (!QFile::exists(folder + QStringLiteral("/qtbase_zh_CN.qm")))
            QSKIP("Qt's translations (qt6-translations-l10n) are not installed");
        QCOMPARE(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("Print"));
        QVERIFY(wip::loadQtTranslations());
        QCOMPARE(QCoreApplication::translate("QPrintDialog", "Print"), QStringLiteral("打印"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("另存为"));
    }
};

QTEST_MAIN(TestInterfaceLanguage)
#include "tst_interfacelanguage.moc"
