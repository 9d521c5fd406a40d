#pragma once

#include "reports/expression.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVariant>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace wip::fuzz {

// The fuzz input as bytes (shared, not copied) and as UTF-8 text.
QByteArray bytesOf(const uint8_t *data, size_t size);
QString textOf(const uint8_t *data, size_t size);

// Stops the run with a message when a property that must hold does not: libFuzzer
// keeps the input as a crash, like any other fault.
[[noreturn]] void propertyFailed(const char *what, const QString &detail);
#define WIP_FUZZ_CHECK(cond, detail) \
    do { if (!(cond)) ::wip::fuzz::propertyFailed(#cond, (detail)); } while (false)

// A small table of rows that expressions read: numbers (with extreme ones among
// them), texts, dates, NULLs, one group level by "name", a fixed print time and an
// aggregate cache, as a retrieved report offers them.
//
//   row  qty      price  name   d                    n
//   1    3        2.5    'A'    2024-01-31 08:00:00  NULL
//   2    -4       0      'A'    1900-01-01 00:00:00  NULL
//   3    1e308    -0.1   'B~'   NULL                 NULL
//   4    NULL     7      ''     9999-12-31 23:59:59  NULL
class TableContext : public reports::ExpressionContext
{
public:
    TableContext();

    int rowCount() const override { return int(m_rows.size()); }
    bool hasName(const QString &name) const override;
    QVariant item(int row, const QString &name) const override;
    std::pair<int, int> groupRange(int level, int row) const override;
    std::pair<int, int> crosstabRange(int row) const override;
    QVariant crosstabSum(int n, int row) const override;
    int page(int row) const override { return (row + 1) / 2; }
    int pageCount() const override { return 2; }
    QDateTime currentDateTime() const override;
    reports::AggregateCache *aggregateCache() const override { return &m_cache; }

private:
    QStringList m_names;
    std::vector<QVariantList> m_rows;
    mutable reports::AggregateCache m_cache;
};

} // namespace wip::fuzz
