#include "runtime/oleworksheet.h"

#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/hosterror.h"
#include "runtime/outputfile.h"
#include "runtime/sysfunc.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <vector>

namespace wip {

namespace {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr qsizetype kMaxText = 32767;   // the longest text a cell holds

lxw_datetime toLxw(const QDateTime &dt)
{
    lxw_datetime d;
    d.year = dt.date().year();
    d.month = dt.date().month();
    d.day = dt.date().day();
    d.hour = dt.time().hour();
    d.min = dt.time().minute();
    d.sec = dt.time().second() + dt.time().msec() / 1000.0;
    return d;
}

// The cells as a workbook of one sheet, written by the constant-memory writer
// (one row at a time, so rows in order) to file, its scratch files beside it.
bool writeWorkbook(const std::unordered_map<quint64, QVariant> &cells, const QString &file, QString *why)
{
    std::vector<quint64> keys;
    keys.reserve(cells.size());
    for (const auto &entry : cells)
        keys.push_back(entry.first);
    std::sort(keys.begin(), keys.end());

    const QByteArray name = QFile::encodeName(file);
    QByteArray scratch = QFile::encodeName(QFileInfo(file).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = scratch.data();
    lxw_workbook *workbook = workbook_new_opt(name.constData(), &options);
    if (!workbook) {
        *why = QStringLiteral("the workbook could not be created");
        return false;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, "Sheet1");
    lxw_format *dateFormat = workbook_add_format(workbook);
    format_set_num_format(dateFormat, "yyyy-mm-dd");
    lxw_format *dateTimeFormat = workbook_add_format(workbook);
    format_set_num_format(dateTimeFormat, "yyyy-mm-dd hh:mm:ss");

    lxw_error failure = LXW_NO_ERROR;
    for (const quint64 k : keys) {
        const lxw_row_t row = lxw_row_t((k >> 32) - 1);
        const lxw_col_t col = lxw_col_t((k & 0xffffffffu) - 1);
        const QVariant &v = cells.at(k);
        lxw_error e = LXW_NO_ERROR;
        const int type = v.metaType().id();
        if (isNumberValue(v)) {
            e = worksheet_write_number(sheet, row, col, v.toDouble(), nullptr);
        } else if (type == QMetaType::Bool) {
            e = worksheet_write_boolean(sheet, row, col, v.toBool() ? 1 : 0, nullptr);
        } else if (type == QMetaType::QDate) {
            lxw_datetime d = toLxw(QDateTime(v.toDate(), QTime(0, 0)));
            e = worksheet_write_datetime(sheet, row, col, &d, dateFormat);
        } else if (type == QMetaType::QDateTime) {
            lxw_datetime d = toLxw(v.toDateTime());
            e = worksheet_write_datetime(sheet, row, col, &d, dateTimeFormat);
        } else {
            const QByteArray text = v.toString().left(kMaxText).toUtf8();
            e = worksheet_write_string(sheet, row, col, text.constData(), nullptr);
        }
        if (e != LXW_NO_ERROR && failure == LXW_NO_ERROR)
            failure = e;
    }
    const lxw_error closed = workbook_close(workbook);
    if (closed != LXW_NO_ERROR || failure != LXW_NO_ERROR) {
        *why = QString::fromUtf8(lxw_strerror(closed != LXW_NO_ERROR ? closed : failure));
        return false;
    }
    return true;
}

} // namespace

void OleWorksheet::checkLive() const
{
    if (!m_live)
        throw HostError(ErrNullObject, QStringLiteral("the worksheet's spreadsheet application has quit"));
}

OleCell OleWorksheet::cells(int row, int column)
{
    checkLive();
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        throw HostError(ErrAutomation, QStringLiteral("cells(%1, %2) is outside the worksheet").arg(row).arg(column));
    return OleCell(*this, row, column);
}

void OleWorksheet::setCell(int row, int column, const QVariant &value)
{
    checkLive();
    if (row < 1 || row > kMaxRows || column < 1 || column > kMaxColumns)
        throw HostError(ErrAutomation, QStringLiteral("cells(%1, %2) is outside the worksheet").arg(row).arg(column));
    if (value.isNull())
        m_cells.erase(key(row, column));
    else
        m_cells[key(row, column)] = value;
}

QVariant OleWorksheet::cell(int row, int column) const
{
    checkLive();
    const auto it = m_cells.find(key(row, column));
    return it == m_cells.end() ? QVariant() : it->second;
}

qsizetype OleWorksheet::cellCount() const
{
    return qsizetype(m_cells.size());
}

void OleWorksheet::saveas(const QString &path)
{
    checkLive();
    const QString local = DriveMapping::instance().resolve(path);
    if (local.isEmpty())
        throw HostError(ErrFileWrite, path);
    // Written whole or not at all; the message names a missing or read-only
    // folder, a full disk.
    QString message;
    const auto write = [this](const QString &file, QString *why) { return writeWorkbook(m_cells, file, why); };
    if (!OutputFile::saveByName(local, write, &message))
        throw HostError(ErrFileWrite, message);
    if (m_shown)
        FileOpener::open(local);
}

} // namespace wip
