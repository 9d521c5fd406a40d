#include "import/widgets/kindfileactions.h"

#include "import/importer.h"
#include "import/importkind.h"
#include "runtime/appglobals.h"
#include "runtime/drivemapping.h"
#include "runtime/transaction.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/openfileservice.h"
#include "runtime/widgets/savefileservice.h"

#include <QDir>
#include <QFileInfo>

namespace wip::import {

KindFileActions::Done KindFileActions::importFile(QWidget *parent, ImportKind &kind, const QString &source,
                                                  const QString &noun)
{
    Done done;
    const QString folder = DriveMapping::instance().folder(QLatin1Char('D'));
    const QString path = OpenFileService::ask(parent, QStringLiteral("导入 Import: %1").arg(kind.caption()), folder,
                                              QStringLiteral("表格 Spreadsheets (*.xlsx *.csv);;所有文件 All files (*)"));
    if (path.isEmpty())
        return done;
    ImportOptions options;
    options.user = user_code();
    options.source = source;
    options.update = true;   // asked below, with what it changes
    options.dryRun = true;
    Transaction &sqlca = Transaction::sqlca();
    const ImportOutcome check = Importer::importFile(sqlca, kind, path, options);
    const QString file = QFileInfo(path).fileName();
    if (!check.ok()) {
        done.status = QStringLiteral("%1 没有导入。").arg(file);
        MessageBox(QStringLiteral("警告"), QStringLiteral("%1 没有导入, 请改正:\n%2").arg(file, check.text()),
                   MessageIcon::Exclamation);
        return done;
    }
    const QString question = QStringLiteral("%1 (%2), %3 行: %4\n增加 %5 个%8, 更新 %6 个已有的%8, %7 个不变。\n导入吗?")
                                 .arg(file, check.format)
                                 .arg(check.rows)
                                 .arg(kind.caption())
                                 .arg(check.added)
                                 .arg(check.updated)
                                 .arg(check.unchanged)
                                 .arg(noun);
    if (MessageBox(QStringLiteral("导入 Import"), question, MessageIcon::Question, MessageButtons::YesNo) != 1)
        return done;
    options.dryRun = false;
    done.outcome = Importer::importFile(sqlca, kind, path, options);
    if (done.outcome.result != ImportOutcome::Result::Imported) {
        done.status = QStringLiteral("%1 没有导入。").arg(file);
        MessageBox(QStringLiteral("警告"), QStringLiteral("%1 没有导入:\n%2").arg(file, done.outcome.text()),
                   MessageIcon::Exclamation);
        return done;
    }
    if (sqlca.inTransaction() && !sqlca.commit()) {
        done.status = QStringLiteral("%1 没有导入。").arg(file);
        MessageBox(QStringLiteral("信息"), QStringLiteral("导入未成功!\n") + sqlca.sqlErrText, MessageIcon::Exclamation);
        return done;
    }
    done.written = true;
    done.status = QStringLiteral("%1 已导入 %2: %3").arg(file, kind.caption(), done.outcome.counts());
    MessageBox(QStringLiteral("恭喜"), QStringLiteral("导入成功!\n") + done.outcome.counts());
    return done;
}

KindFileActions::Done KindFileActions::exportFile(QWidget *parent, ImportKind &kind, const QString &note)
{
    Done done;
    const QString folder = DriveMapping::instance().folder(QLatin1Char('D'));
    QDir().mkpath(folder);
    QString path = SaveFileService::ask(parent, QStringLiteral("导出 Export: %1").arg(kind.caption()),
                                        QDir(folder).filePath(kind.name() + QStringLiteral(".xlsx")),
                                        QStringLiteral("工作簿 Workbook (*.xlsx);;CSV (*.csv)"));
    if (path.isEmpty())
        return done;
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("xlsx") && suffix != QLatin1String("csv"))
        path += QStringLiteral(".xlsx");
    int rows = 0;
    QString error;
    if (!Importer::exportFile(Transaction::sqlca(), kind, path, &rows, &error)) {
        done.status = QStringLiteral("%1 没有导出。").arg(kind.caption());
        MessageBox(QStringLiteral("信息"), QStringLiteral("导出未成功!\n") + error, MessageIcon::Exclamation);
        return done;
    }
    done.written = true;
    done.status = QStringLiteral("%1 已导出 %2 行到 %3%4").arg(kind.caption()).arg(rows).arg(path, note);
    MessageBox(QStringLiteral("信息"),
               QStringLiteral("已导出 %1 行到\n%2%3").arg(rows).arg(QDir::toNativeSeparators(path), note));
    return done;
}

} // namespace wip::import
