#pragma once

#include "testdatabase.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>

namespace wip::test {

// The quantities and the stamped dates of a progress record (table process).
inline const QStringList kProcessQuantities = {"wax_in", "wax_out", "casting_in", "casting_out", "filing_in",
                                              "filing_out", "setting_in", "setting_out", "finishing_in",
                                              "finishing_out", "polishing_in", "polishing_out", "rhodium_in",
                                              "rhodium_out", "qc_in", "qc_out"};
inline const QStringList kProcessDates = {"wax_date", "casting_date", "filing_date", "setting_date",
                                          "finishing_date", "polishing_date", "rhodium_date"};

// Rows the contract tests share: headers, lines and a progress record.
inline bool addContract(TestDatabase &db, const QString &scno, const QString &custOrder, const QString &custNo = "C01")
{
    return db.insert("sconh", {{"scno", scno}, {"cust_no", custNo}, {"cust_order", custOrder},
                               {"issdate", QDateTime(QDate(2004, 5, 1), QTime(0, 0))},
                               {"deldate", QDateTime(QDate(2004, 6, 1), QTime(0, 0))}});
}

inline bool addLine(TestDatabase &db, const QString &scno, const QString &design, const QString &hallmark,
                    const QString &remarks)
{
    return db.insert("scond", {{"scno", scno}, {"design_no", design}, {"article_code", QString("A-" + design)},
                               {"metal", "18KY"}, {"quantity", 5}, {"hallmark", hallmark}, {"remarks", remarks}});
}

// A real bitmap padded with trailing bytes to exactly `size` bytes; the colour
// makes the files of one test tell apart.
inline QByteArray bitmapOfSize(int size, QColor colour)
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    if (bytes.size() < size)
        bytes.append(QByteArray(size - bytes.size(), '\x5a'));
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace wip::test
