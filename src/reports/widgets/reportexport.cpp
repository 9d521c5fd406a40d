#include "reports/widgets/reportexport.h"

#include "reports/datastore.h"
#include "reports/render/xlsxexport.h"
#include "reports/reportcriteria.h"
#include "reports/reportoutput.h"
#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/savefileservice.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>

namespace wip::reports {

bool ReportExport::toFile(const DataStore &store, const QString &fileName, const QString &title)
{
    QString error;
    bool ok = false;
    LongWork work(QStringLiteral("正在导出… Exporting…"));
    if (QFileInfo(fileName).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        const QByteArray bytes = ReportOutput::toCsv(store);
        ok = !LongWork::cancelled() && OutputFile::save(fileName, bytes, &error);
    } else {
        ok = writeXlsx(store, fileName, &error);
    }
    if (LongWork::cancelled())
        return false;   // nothing written, as the clerk asked
    if (!ok)
        MessageBox(title, QStringLiteral("无法写入文件 %1\nThe file cannot be written.\n%2").arg(fileName, error),
                   MessageIcon::StopSign);
    return ok;
}

bool ReportExport::withDialog(QWidget *parent, const DataStore &store, const QString &title)
{
    QString file = SaveFileService::ask(parent, QStringLiteral("导出 Export"),
                                        suggestedFileName(ReportCriteria::title(store), QStringLiteral("xlsx")),
                                        QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"));
    if (file.isEmpty())
        return false;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".xlsx");
    if (!toFile(store, file, title))
        return false;
    const QString saved = QFileInfo(file).absoluteFilePath();
    const int answer = MessageBox(title, savedText(saved) + QStringLiteral("\n\n现在打开吗? Open it now?"),
                                  MessageIcon::Information, MessageButtons::YesNo);
    if (answer == 1 && !FileOpener::open(saved))
        MessageBox(title, QStringLiteral("没有程序可以打开 %1\nNo program on this computer opens the file.")
                              .arg(QDir::toNativeSeparators(saved)),
                   MessageIcon::Exclamation);
    return true;
}

QString ReportExport::suggestedFileName(const QString &title, const QString &suffix)
{
    QString name = title;
    // Characters that cannot stand in a file name on the factory's machines.
    for (const QChar bad : QStringLiteral("\\/:*?\"<>|"))
        name.replace(bad, QLatin1Char('-'));
    name = name.simplified();
    if (name.isEmpty())
        name = QStringLiteral("report");
    name += QLatin1Char(' ') + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const QString folder = DriveMapping::instance().folder(QLatin1Char('D'));
    QDir().mkpath(folder);
    return QDir(folder).filePath(name + QLatin1Char('.') + suffix);
}

QString ReportExport::savedText(const QString &file)
{
    return QStringLiteral("已保存到 Saved to: %1").arg(QDir::toNativeSeparators(file));
}

} // namespace wip::reports
