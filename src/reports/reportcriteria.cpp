#include "reports/reportcriteria.h"

#include "reports/displayformat.h"

#include <QDateTime>

namespace wip::reports {

namespace {

constexpr int kListInFull = 3;

bool isDate(ArgumentType type)
{
    return type == ArgumentType::Date || type == ArgumentType::DateTime;
}

bool isList(ArgumentType type)
{
    return type == ArgumentType::StringList || type == ArgumentType::NumberList;
}

QStringList listValues(const QVariant &value)
{
    QStringList out;
    for (const QVariant &v : value.toList())
        out << ReportCriteria::valueText(v);
    return out;
}

// What a window (or --title) wrote into the heading, and the heading texts that
// follow the arguments: the header texts that differ from the definition's own,
// and those with an expression. The design texts do not count: "QOR" of the
// customer is not shown by "QOR JEWELLERY MFG.LTD.".
QString headingTexts(const ReportData &data)
{
    QStringList texts;
    for (const TextObject &t : data.definition().texts) {
        const QString now = data.objectText(t.name);
        if (t.band == Band::Header && (now != t.text || !t.expression.isEmpty()))
            texts << now;
    }
    return texts.join(QLatin1Char('\n'));
}

} // namespace

QString ReportCriteria::valueText(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return value.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.time() == QTime(0, 0) ? dt.date().toString(QStringLiteral("yyyy-MM-dd"))
                                        : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    default:
        return generalText(value);
    }
}

QString ReportCriteria::title(const ReportData &data)
{
    const Definition &def = data.definition();
    for (const char *name : {"t_title", "t_head"}) {
        if (const TextObject *t = def.textObject(QLatin1String(name))) {
            const QString text = data.objectText(t->name).simplified();
            if (!text.isEmpty())
                return text;
        }
    }
    if (!data.windowTitle().trimmed().isEmpty())
        return data.windowTitle().trimmed();
    for (const TextObject &t : def.texts) {
        const QString text = data.objectText(t.name).simplified();
        if (t.band == Band::Header && !text.isEmpty())
            return text;
    }
    // A composite is called by its first part.
    for (const ReportData *nested : data.nested()) {
        if (nested)
            return title(*nested);
    }
    return def.name;
}

QString ReportCriteria::listText(const QStringList &values)
{
    if (values.size() <= kListInFull)
        return values.join(QStringLiteral(", "));
    return QStringLiteral("%1 … (%2)").arg(values.first()).arg(values.size());
}

QString ReportCriteria::text(const ReportData &data)
{
    const QVector<Argument> &arguments = data.definition().arguments;
    const QVariantList values = data.retrievalArguments();
    if (arguments.isEmpty() || values.size() != arguments.size())
        return QString();
    const QString heading = headingTexts(data);
    QStringList parts;
    for (int i = 0; i < arguments.size(); ++i) {
        const Argument &a = arguments.at(i);
        const QString label = a.caption.isEmpty() ? a.name : a.caption;
        QStringList shown;     // the value texts the part states
        QString part;
        // Two dates of one caption in a row are a range (deldate1, deldate2).
        if (isDate(a.type) && i + 1 < arguments.size() && isDate(arguments.at(i + 1).type)
            && arguments.at(i + 1).caption == a.caption) {
            // A date range: from and to on one part.
            shown << valueText(values.at(i)) << valueText(values.at(i + 1));
            part = QStringLiteral("%1: %2 至 %3").arg(label, shown.at(0), shown.at(1));
            ++i;
        } else if (isList(a.type)) {
            shown = listValues(values.at(i));
            part = QStringLiteral("%1: %2").arg(label, listText(shown));
        } else {
            shown << valueText(values.at(i));
            part = QStringLiteral("%1: %2").arg(label, shown.first());
        }
        bool inHeading = true;
        for (const QString &s : shown)
            inHeading = inHeading && (s.isEmpty() || heading.contains(s));
        if (!inHeading)
            parts << part;
    }
    return parts.join(QStringLiteral("   "));
}

} // namespace wip::reports
