#include "fuzzsupport.h"

#include <cstdio>
#include <cstdlib>

namespace wip::fuzz {

QByteArray bytesOf(const uint8_t *data, size_t size)
{
    return QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
}

QString textOf(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
}

void propertyFailed(const char *what, const QString &detail)
{
    std::fprintf(stderr, "property failed: %s\n  %s\n", what, detail.toUtf8().constData());
    std::abort();
}

TableContext::TableContext()
    : m_names{QStringLiteral("qty"), QStringLiteral("price"), QStringLiteral("name"),
              QStringLiteral("d"), QStringLiteral("n")}
{
    const QVariant nullNumber(QMetaType::fromType<double>());
    const QVariant nullDate(QMetaType::fromType<QDateTime>());
    auto at = [](int y, int m, int d, int h, int min, int s) {
        return QVariant(QDateTime(QDate(y, m, d), QTime(h, min, s)));
    };
    m_rows.push_back({3.0, 2.5, QStringLiteral("A"), at(2024, 1, 31, 8, 0, 0), nullNumber});
    m_rows.push_back({-4.0, 0.0, QStringLiteral("A"), at(1900, 1, 1, 0, 0, 0), nullNumber});
    m_rows.push_back({1e308, -0.1, QStringLiteral("B~"), nullDate, nullNumber});
    m_rows.push_back({nullNumber, 7.0, QString(), at(9999, 12, 31, 23, 59, 59), nullNumber});
}

bool TableContext::hasName(const QString &name) const
{
    return m_names.contains(name, Qt::CaseInsensitive);
}

QVariant TableContext::item(int row, const QString &name) const
{
    const int column = int(m_names.indexOf(name.toLower()));
    if (column < 0 || row < 1 || row > rowCount())
        return QVariant();
    return m_rows[size_t(row - 1)].at(column);
}

std::pair<int, int> TableContext::groupRange(int level, int row) const
{
    if (level <= 0 || row < 1 || row > rowCount())
        return {1, rowCount()};
    // One level, by name: rows 1-2, 3, 4.
    if (row <= 2)
        return {1, 2};
    return {row, row};
}

std::pair<int, int> TableContext::crosstabRange(int row) const
{
    return row <= 2 ? std::pair{1, 2} : std::pair{3, rowCount()};
}

QVariant TableContext::crosstabSum(int n, int row) const
{
    if (n < 1 || n > 2)
        return QVariant();
    return double(n * row);
}

QDateTime TableContext::currentDateTime() const
{
    return QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58));
}

} // namespace wip::fuzz
