#pragma once

#include "reports/definition.h"

#include <QByteArray>
#include <QHash>
#include <QString>

struct lxw_workbook;
struct lxw_format;

namespace wip::reports {

// The cell formats of one exported workbook, made once each: the title, heading
// lines, captions, and the number and date formats that show a value as the
// report's display format does.
//
//   "#####.##;-#####.##; " -> "General;-General;"   (blank zero, decimals as needed)
//   "0.00"                 -> "0.00"
//   "[shortdate] [time]"   -> "yyyy-mm-dd hh:mm:ss"
class XlsxFormats
{
public:
    explicit XlsxFormats(lxw_workbook *book);

    lxw_format *title();
    lxw_format *heading(Align align);
    lxw_format *caption();
    lxw_format *bold();
    // fill: a background "#rrggbb" for the cell (a row the definition's fill
    // marks); empty: none.
    lxw_format *number(const QString &displayFormat, bool bold, const QString &fill = QString());
    lxw_format *date(const QString &displayFormat, ValueType type, bool bold, const QString &fill = QString());
    // A text cell: nullptr unless filled.
    lxw_format *text(const QString &fill);

    // The spreadsheet's number format for a display format.
    static QByteArray numberFormat(const QString &displayFormat);
    // The spreadsheet's date format for a display format of a date column.
    static QByteArray dateFormat(const QString &displayFormat, ValueType type);

private:
    lxw_format *cached(const QByteArray &key, const QByteArray &numFormat, bool bold, const QString &fill = QString());

    lxw_workbook *m_book;
    QHash<QByteArray, lxw_format *> m_formats;
};

} // namespace wip::reports
