#pragma once

// A report held in memory for the rendering tests: a definition built in the test,
// rows given as values, computed fields evaluated with the report's expressions and
// groups found by comparing the group columns of neighbouring rows. It stands in for
// a retrieved DataStore so that layout and painting are tested without a database.

#include "reports/expression.h"
#include "reports/reportdata.h"

#include <QHash>
#include <memory>
#include <vector>

namespace wip::reports::testing {

class MemoryReport : public ReportData
{
public:
    explicit MemoryReport(Definition def) : m_def(std::move(def))
    {
        for (const ComputedField &f : m_def.computed)
            m_expr.insert(f.name.toLower(), std::shared_ptr<Expression>(Expression::parse(f.expression)));
    }

    void addRow(const QVariantList &values) { m_rows.push_back(values); }
    void setText(const QString &name, const QString &text) { m_texts.insert(name.toLower(), text); }
    void addNested(std::shared_ptr<MemoryReport> nested) { m_nested.push_back(std::move(nested)); }

    const Definition &definition() const override { return m_def; }
    QVariant item(int row, const QString &name) const override
    {
        if (row < 1 || row > rowCount())
            return {};
        const int ci = m_def.columnIndex(name);
        if (ci >= 0)
            return m_rows[row - 1].value(ci);
        if (const auto e = m_expr.value(name.toLower()))
            return e->evaluate(*this, row);
        return {};
    }
    QString objectText(const QString &name) const override
    {
        const auto it = m_texts.constFind(name.toLower());
        if (it != m_texts.cend())
            return *it;
        const TextObject *t = m_def.textObject(name);
        return t ? t->text : QString();
    }
    QVector<const ReportData *> nested() const override
    {
        QVector<const ReportData *> out;
        for (const auto &n : m_nested)
            out << n.get();
        return out;
    }

    int rowCount() const override { return int(m_rows.size()); }
    bool hasName(const QString &name) const override
    {
        return m_def.columnIndex(name) >= 0 || m_expr.contains(name.toLower());
    }
    std::pair<int, int> groupRange(int level, int row) const override
    {
        QStringList by;
        for (const Group &g : m_def.groups) {
            if (g.level <= level)
                by << g.by;
        }
        if (level == 0 || by.isEmpty())
            return {1, rowCount()};
        auto same = [&](int a, int b) {
            for (const QString &c : by) {
                if (item(a, c) != item(b, c))
                    return false;
            }
            return true;
        };
        int first = row;
        while (first > 1 && same(first - 1, row))
            --first;
        int last = row;
        while (last < rowCount() && same(last + 1, row))
            ++last;
        return {first, last};
    }

private:
    Definition m_def;
    std::vector<QVariantList> m_rows;
    QHash<QString, QString> m_texts;
    QHash<QString, std::shared_ptr<Expression>> m_expr;
    std::vector<std::shared_ptr<MemoryReport>> m_nested;
};

inline Column column(const QString &name, ValueType type, const QStringList &caption,
                     const QString &format = QString())
{
    Column c;
    c.name = name;
    c.type = type;
    c.caption = caption;
    c.format = format;
    c.align = type == ValueType::Number ? Align::Right : Align::Left;
    return c;
}

inline ComputedField computed(const QString &name, const QString &expression, Band band,
                              const QString &under = QString(), int group = 0)
{
    ComputedField f;
    f.name = name;
    f.expression = expression;
    f.band = band;
    f.under = under;
    f.group = group;
    return f;
}

inline TextObject text(const QString &name, const QString &value, Band band,
                       const QString &under = QString())
{
    TextObject t;
    t.name = name;
    t.text = value;
    t.band = band;
    t.under = under;
    return t;
}

} // namespace wip::reports::testing
