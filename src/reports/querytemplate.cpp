#include "reports/querytemplate.h"

namespace wip::reports {

namespace {

bool isSqlNameStart(QChar c)
{
    return c.isLetter() || c == QLatin1Char('_');
}

bool isSqlNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The comparison operator a piece of SQL ends with (before a placeholder) or
// starts with (after one), or "" when it is none of them.
QString operatorAtEnd(const QString &piece)
{
    const QString t = piece.trimmed();
    for (const char *op : {"<=", ">=", "<>", "!=", "<", ">", "="}) {
        if (t.endsWith(QLatin1String(op)))
            return QLatin1String(op);
    }
    return QString();
}

QString operatorAtStart(const QString &piece)
{
    const QString t = piece.trimmed();
    for (const char *op : {"<=", ">=", "<>", "!=", "<", ">", "="}) {
        if (t.startsWith(QLatin1String(op)))
            return QLatin1String(op);
    }
    return QString();
}

// The last word of a piece, lower case ("between", "and" ...).
QString lastWord(const QString &piece)
{
    qsizetype end = piece.size();
    while (end > 0 && piece.at(end - 1).isSpace())
        --end;
    qsizetype start = end;
    while (start > 0 && isSqlNameChar(piece.at(start - 1)))
        --start;
    return piece.mid(start, end - start).toLower();
}

} // namespace

QueryTemplate::QueryTemplate(const QString &sql)
{
    const qsizetype n = sql.size();
    QString piece;
    qsizetype i = 0;
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            // Quoted literal or identifier; a doubled quote stays inside.
            qsizetype j = i + 1;
            while (j < n) {
                if (sql.at(j) == c) {
                    if (j + 1 < n && sql.at(j + 1) == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            const qsizetype end = qMin(j + 1, n);
            piece += QStringView(sql).mid(i, end - i);
            i = end;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            qsizetype j = sql.indexOf(QLatin1Char('\n'), i);
            if (j < 0)
                j = n;
            piece += QStringView(sql).mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            qsizetype j = sql.indexOf(QLatin1String("*/"), i + 2);
            j = j < 0 ? n : j + 2;
            piece += QStringView(sql).mid(i, j - i);
            i = j;
        } else if (c == QLatin1Char(':') && i + 1 < n && sql.at(i + 1) == QLatin1Char(':')) {
            piece += QLatin1String("::");
            i += 2;
        } else if (c == QLatin1Char(':') && i + 1 < n && isSqlNameStart(sql.at(i + 1))) {
            qsizetype j = i + 1;
            while (j < n && isSqlNameChar(sql.at(j)))
                ++j;
            m_pieces.append(piece);
            piece.clear();
            m_names.append(sql.mid(i + 1, j - i - 1).toLower());
            i = j;
        } else {
            piece += c;
            ++i;
        }
    }
    m_pieces.append(piece);
    findDayBounds();
}

void QueryTemplate::findDayBounds()
{
    m_bounds.fill(DayBound::None, m_names.size());
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        const QString &before = m_pieces.at(i);
        const QString &after = m_pieces.at(i + 1);
        const QString word = lastWord(before);
        if (word == QLatin1String("between")) {
            m_bounds[i] = DayBound::Start;
            // "between :a and :b": the next placeholder, after nothing but "and", is the end.
            if (i + 1 < m_names.size() && after.trimmed().compare(QLatin1String("and"), Qt::CaseInsensitive) == 0)
                m_bounds[i + 1] = DayBound::End;
            continue;
        }
        if (m_bounds.at(i) == DayBound::End)
            continue;
        const QString op = operatorAtEnd(before);
        if (op == u">=" || op == u"<")
            m_bounds[i] = DayBound::Start;
        else if (op == u"<=" || op == u">")
            m_bounds[i] = DayBound::End;
        else if (!op.isEmpty())
            m_bounds[i] = DayBound::Equality;
        else if (const QString turned = operatorAtStart(after); !turned.isEmpty())
            m_bounds[i] = (turned == u"<=" || turned == u">") ? DayBound::Start
                        : (turned == u">=" || turned == u"<") ? DayBound::End
                                                                : DayBound::Equality;
    }
}

QueryTemplate::Bound QueryTemplate::bind(const std::function<QVariant(const QString &)> &valueOf) const
{
    return bind([&valueOf](const QString &name, DayBound) { return valueOf(name); });
}

QueryTemplate::Bound QueryTemplate::bind(const std::function<QVariant(const QString &, DayBound)> &valueOf) const
{
    Bound bound;
    bound.sql = m_pieces.first();
    for (qsizetype i = 0; i < m_names.size(); ++i) {
        const QVariant value = valueOf(m_names.at(i), m_bounds.at(i));
        const int type = value.metaType().id();
        if (type == QMetaType::QStringList || type == QMetaType::QVariantList) {
            const QVariantList list = value.toList();
            if (list.isEmpty()) {
                bound.sql += QLatin1String("NULL");
            } else {
                for (qsizetype k = 0; k < list.size(); ++k) {
                    bound.sql += k == 0 ? QLatin1String("?") : QLatin1String(", ?");
                    bound.values.append(list.at(k));
                }
            }
        } else {
            bound.sql += QLatin1Char('?');
            bound.values.append(value);
        }
        bound.sql += m_pieces.at(i + 1);
    }
    return bound;
}

} // namespace wip::reports
