#include "import/sheetreader.h"

#include "import/csvreader.h"
#include "import/xlsxreader.h"

#include <QFile>
#include <QFileInfo>

namespace wip::import {

std::optional<Sheet> SheetReader::read(const QString &path, QString *error)
{
    const QString name = QFileInfo(path).fileName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1 打不开 (cannot be opened): %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray start = file.peek(8);
    QString why;
    std::optional<Sheet> sheet;
    if (start.startsWith("PK\x03\x04")) {
        file.close();
        sheet = XlsxReader(path).read(&why);
    } else if (start.startsWith("\xD0\xCF\x11\xE0")) {
        why = QStringLiteral("旧的 .xls 工作簿读不了, 请另存为 .xlsx 或 CSV "
                             "(an old .xls workbook: save it as .xlsx or CSV)");
    } else if (file.size() > kMaxCsvBytes) {
        why = QStringLiteral("文件大于 %1 MB (the file is too large)").arg(kMaxCsvBytes / (1024 * 1024));
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            why = file.errorString();
        else
            sheet = CsvReader::read(bytes, &why);
    }
    if (!sheet)
        *error = QStringLiteral("%1: %2").arg(name, why);
    return sheet;
}

} // namespace wip::import
