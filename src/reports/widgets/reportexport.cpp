#include "reports/widgets/reportexport.h"

#include "reports/datastore.h"
#include "reports/render/xlsxexport.h"
#include "reports/reportoutput.h"
#include "runtime/widgets/messageboxservice.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QSaveFile>

namespace wip::reports {

bool ReportExport::toFile(const DataStore &store, const QString &fileName, const QString &title)
{
    QString error;
    bool ok = false;
    if (QFileInfo(fileName).suffix().compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0) {
        QSaveFile file(fileName);
        const QByteArray bytes = ReportOutput::toCsv(store);
        ok = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
        if (!ok)
            error = file.errorString();
    } else {
        ok = writeXlsx(store, fileName, &error);
    }
    if (!ok)
        MessageBox(title, QStringLiteral("无法写入文件 %1\nThe file cannot be written.\n%2").arg(fileName, error),
                   MessageIcon::StopSign);
    return ok;
}

bool ReportExport::withDialog(QWidget *parent, const DataStore &store, const QString &title)
{
    QString selected;
    QString file = QFileDialog::getSaveFileName(parent, QStringLiteral("导出 Export"),
                                                store.dataObject() + QStringLiteral(".xlsx"),
                                                QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"), &selected);
    if (file.isEmpty())
        return false;
    if (QFileInfo(file).suffix().isEmpty())
        file += selected.startsWith(QLatin1String("CSV")) ? QStringLiteral(".csv") : QStringLiteral(".xlsx");
    return toFile(store, file, title);
}

} // namespace wip::reports
