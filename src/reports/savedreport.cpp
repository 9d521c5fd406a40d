#include "reports/savedreport.h"

#include "reports/definitionloader.h"
#include "reports/reportoutput.h"
#include "runtime/decimal.h"
#include "runtime/drivemapping.h"
#include "runtime/hosterror.h"
#include "runtime/sqlvalue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

namespace wip::reports {

namespace {

const QString formatName = QStringLiteral("wip-saved-report");

QString typeName(const QVariant &v)
{
    if (Decimal::isDecimal(v))
        return QStringLiteral("number");
    switch (v.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
        return QStringLiteral("number");
    case QMetaType::Bool:
        return QStringLiteral("bool");
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return QStringLiteral("datetime");
    default:
        return QStringLiteral("string");
    }
}

ValueType valueType(const QString &name)
{
    if (name == QLatin1String("number") || name == QLatin1String("bool"))
        return ValueType::Number;
    if (name == QLatin1String("datetime") || name == QLatin1String("date"))
        return ValueType::DateTime;
    return ValueType::String;
}

// A JSON value read back as the type it was written as; nullopt when it cannot be.
std::optional<QVariant> readValue(const QJsonValue &v, ValueType type, bool isBool)
{
    if (v.isNull()) {
        // Typed NULLs, as the DataStore holds them.
        switch (type) {
        case ValueType::Number: return isBool ? QVariant(QMetaType::fromType<bool>()) : Decimal::null();
        case ValueType::String: return QVariant(QMetaType::fromType<QString>());
        default: return QVariant(QMetaType::fromType<QDateTime>());
        }
    }
    switch (type) {
    case ValueType::Number:
        if (isBool && v.isBool())
            return QVariant(v.toBool());
        if (!v.isDouble())
            return std::nullopt;
        // Written as the double nearest to the decimal; read back as that decimal.
        return Decimal::fromDouble(v.toDouble()).toVariant();
    case ValueType::String:
        if (!v.isString())
            return std::nullopt;
        return QVariant(v.toString());
    case ValueType::Date:
    case ValueType::DateTime: {
        if (!v.isString())
            return std::nullopt;
        const QVariant dt = fromDbValue(v.toString(), ColumnKind::DateTime);
        if (dt.isNull())
            return std::nullopt;
        return dt;
    }
    }
    return std::nullopt;
}

QJsonValue argumentJson(const QVariant &v)
{
    const int type = v.metaType().id();
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList) {
        QJsonArray list;
        for (const QVariant &item : v.toList())
            list.append(ReportOutput::jsonValue(item));
        return list;
    }
    return ReportOutput::jsonValue(v);
}

// A retrieval value read back as its argument's type; a damaged one is left out
// (the heading then shows less, the report itself is whole).
QVariant readArgument(const QJsonValue &v, const Argument &argument)
{
    switch (argument.type) {
    case ArgumentType::StringList:
    case ArgumentType::NumberList: {
        QVariantList list;
        for (const QJsonValue &item : v.toArray())
            list << item.toVariant();
        return argument.type == ArgumentType::StringList ? QVariant(QVariant(list).toStringList()) : QVariant(list);
    }
    case ArgumentType::Date:
    case ArgumentType::DateTime:
        return v.isString() ? fromDbValue(v.toString(), ColumnKind::DateTime) : QVariant();
    case ArgumentType::Number:
        return v.isDouble() ? QVariant(v.toDouble()) : QVariant();
    case ArgumentType::String:
        return v.isString() ? QVariant(v.toString()) : QVariant();
    }
    return {};
}

// A column as toJson writes it; nullopt for one without a name.
std::optional<Column> columnFromJson(const QJsonObject &co)
{
    Column c;
    c.name = co.value(QStringLiteral("name")).toString().toLower();
    if (c.name.isEmpty())
        return std::nullopt;
    c.type = valueType(co.value(QStringLiteral("type")).toString());
    for (const QJsonValue &line : co.value(QStringLiteral("caption")).toArray())
        c.caption.append(line.toString());
    c.format = co.value(QStringLiteral("format")).toString();
    c.width = co.value(QStringLiteral("width")).toInt();
    c.visible = co.value(QStringLiteral("visible")).toBool(true);
    c.align = Align(std::clamp(co.value(QStringLiteral("align")).toInt(), 0, 2));
    c.print = co.value(QStringLiteral("print")).toBool(true);
    c.picture = co.value(QStringLiteral("picture")).toBool(false);
    c.rowKey = co.value(QStringLiteral("rowKey")).toBool(false);
    return c;
}

// The values of the computed fields in row r (0-based), after the columns' values
// in `row`; the fault, or an empty text.
QString computedFromJson(const QJsonObject &o, const QVector<ComputedField> &fields, int r, int rowCount,
                         int columnCount, QVector<QVariant> &row)
{
    const QJsonObject computed = o.value(QStringLiteral("computed")).toObject();
    const QJsonObject computedTypes = o.value(QStringLiteral("computedTypes")).toObject();
    for (int k = 0; k < fields.size(); ++k) {
        const QString &name = fields.at(k).name;
        const QString type = computedTypes.value(name).toString();
        const QJsonArray fieldValues = computed.value(name).toArray();
        if (fieldValues.size() != rowCount)
            return QStringLiteral("computed field %1 does not hold a value per row").arg(name);
        // A NULL has the field's declared type, as in the DataStore.
        const QJsonValue jv = fieldValues.at(r);
        const auto v = jv.isNull() ? readValue(jv, fields.at(k).type, false)
                                   : readValue(jv, valueType(type), type == QLatin1String("bool"));
        if (!v)
            return QStringLiteral("computed field %1 of row %2 holds a damaged value").arg(name).arg(r + 1);
        row[columnCount + k] = *v;
    }
    return {};
}

// Every row: the columns' values, then the computed fields'; the fault, or an empty text.
QString rowsFromJson(const QJsonObject &o, const QVector<Column> &columns, const QVector<ComputedField> &fields,
                     std::vector<QVector<QVariant>> &rowsRead)
{
    const int columnCount = columns.size();
    const QJsonArray rows = o.value(QStringLiteral("rows")).toArray();
    rowsRead.reserve(size_t(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const QJsonArray values = rows.at(r).toArray();
        if (!rows.at(r).isArray() || values.size() != columnCount)
            return QStringLiteral("row %1 does not hold %2 values").arg(r + 1).arg(columnCount);
        QVector<QVariant> row(columnCount + fields.size());
        for (int c = 0; c < columnCount; ++c) {
            const auto v = readValue(values.at(c), columns.at(c).type, false);
            if (!v)
                return QStringLiteral("row %1, column %2 holds a damaged value").arg(r + 1).arg(columns.at(c).name);
            row[c] = *v;
        }
        const QString fault = computedFromJson(o, fields, r, int(rows.size()), columnCount, row);
        if (!fault.isEmpty())
            return fault;
        rowsRead.push_back(row);
    }
    return {};
}

} // namespace

QJsonObject SavedReport::toJson(const ReportData &report)
{
    const Definition &def = report.definition();
    QJsonObject o;
    o.insert(QStringLiteral("format"), formatName);
    o.insert(QStringLiteral("version"), formatVersion);
    o.insert(QStringLiteral("definition"), DefinitionLoader::toJson(def));

    const QVector<Column> columns = report.columns();
    QJsonArray columnArray;
    for (const Column &c : columns) {
        QJsonObject co;
        co.insert(QStringLiteral("name"), c.name);
        co.insert(QStringLiteral("type"), c.type == ValueType::Number ? QStringLiteral("number")
                                          : c.type == ValueType::String ? QStringLiteral("string")
                                                                        : QStringLiteral("datetime"));
        co.insert(QStringLiteral("caption"), QJsonArray::fromStringList(c.caption));
        co.insert(QStringLiteral("format"), c.format);
        co.insert(QStringLiteral("width"), c.width);
        co.insert(QStringLiteral("visible"), c.visible);
        co.insert(QStringLiteral("align"), int(c.align));
        if (!c.print)
            co.insert(QStringLiteral("print"), false);
        if (c.picture)
            co.insert(QStringLiteral("picture"), true);
        if (c.rowKey)
            co.insert(QStringLiteral("rowKey"), true);
        columnArray.append(co);
    }
    o.insert(QStringLiteral("columns"), columnArray);

    QJsonObject texts;
    for (const TextObject &t : def.texts)
        texts.insert(t.name, report.objectText(t.name));
    o.insert(QStringLiteral("texts"), texts);

    QJsonArray rows;
    for (int row = 1; row <= report.rowCount(); ++row) {
        QJsonArray values;
        for (const Column &c : columns)
            values.append(ReportOutput::jsonValue(report.item(row, c.name)));
        rows.append(values);
    }
    o.insert(QStringLiteral("rows"), rows);

    QJsonObject computed;
    QJsonObject computedTypes;
    for (const ComputedField &f : def.computed) {
        QJsonArray values;
        QString type;
        for (int row = 1; row <= report.rowCount(); ++row) {
            const QVariant v = report.item(row, f.name);
            if (type.isEmpty() && !v.isNull())
                type = typeName(v);
            values.append(ReportOutput::jsonValue(v));
        }
        computed.insert(f.name, values);
        computedTypes.insert(f.name, type.isEmpty() ? QStringLiteral("string") : type);
    }
    o.insert(QStringLiteral("computed"), computed);
    o.insert(QStringLiteral("computedTypes"), computedTypes);

    QJsonArray nested;
    for (const ReportData *n : report.nested())
        nested.append(toJson(*n));
    o.insert(QStringLiteral("nested"), nested);

    QJsonArray arguments;
    for (const QVariant &v : report.retrievalArguments())
        arguments.append(argumentJson(v));
    if (!arguments.isEmpty())
        o.insert(QStringLiteral("arguments"), arguments);
    return o;
}

void SavedReport::write(const ReportData &report, const QString &hostPath, const QString &windowTitle)
{
    QJsonObject o = toJson(report);
    const QString title = windowTitle.isEmpty() ? report.windowTitle() : windowTitle;
    if (!title.isEmpty())
        o.insert(QStringLiteral("windowTitle"), title);
    ReportOutput::writeFile(hostPath, QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::unique_ptr<SavedReport> SavedReport::read(const QString &hostPath, QString *error)
{
    const QString path = DriveMapping::instance().resolve(hostPath);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: the saved report cannot be read (%2)")
                         .arg(hostPath, path.isEmpty() ? QStringLiteral("not a readable path") : file.errorString());
        return nullptr;
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        if (error)
            *error = QStringLiteral("%1: not a saved report (damaged at offset %2)").arg(hostPath).arg(parseError.offset);
        return nullptr;
    }
    return fromJson(document.object(), hostPath, error);
}

std::unique_ptr<SavedReport> SavedReport::fromJson(const QJsonObject &o, const QString &sourceName, QString *error)
{
    auto fail = [&](const QString &fault) -> std::unique_ptr<SavedReport> {
        if (error)
            *error = QStringLiteral("%1: %2").arg(sourceName, fault);
        return nullptr;
    };
    if (o.value(QStringLiteral("format")).toString() != formatName)
        return fail(QStringLiteral("not a saved report"));
    if (o.value(QStringLiteral("version")).toInt() != formatVersion)
        return fail(QStringLiteral("saved report version %1 is not %2")
                        .arg(o.value(QStringLiteral("version")).toInt()).arg(formatVersion));

    std::unique_ptr<SavedReport> report(new SavedReport);
    QString definitionError;
    auto definition = DefinitionLoader::fromJson(o.value(QStringLiteral("definition")).toObject(),
                                                 sourceName + QStringLiteral(" (definition)"), &definitionError);
    if (!definition)
        return fail(QStringLiteral("its definition is damaged: %1").arg(definitionError));
    report->m_definition = std::move(*definition);

    for (const QJsonValue &cv : o.value(QStringLiteral("columns")).toArray()) {
        const std::optional<Column> c = columnFromJson(cv.toObject());
        if (!c)
            return fail(QStringLiteral("a column without a name"));
        report->m_index.insert(c->name, report->m_columns.size());
        report->m_columns.append(*c);
    }
    const int columnCount = report->m_columns.size();
    int computedCount = 0;
    for (const ComputedField &f : report->m_definition.computed) {
        if (!report->m_index.contains(f.name.toLower()))
            report->m_index.insert(f.name.toLower(), columnCount + computedCount);
        ++computedCount;
    }
    const QString rowsFault = rowsFromJson(o, report->m_columns, report->m_definition.computed, report->m_rows);
    if (!rowsFault.isEmpty())
        return fail(rowsFault);

    const QJsonObject texts = o.value(QStringLiteral("texts")).toObject();
    for (auto it = texts.begin(); it != texts.end(); ++it)
        report->m_texts.insert(it.key().toLower(), it.value().toString());

    report->m_windowTitle = o.value(QStringLiteral("windowTitle")).toString();
    const QJsonArray arguments = o.value(QStringLiteral("arguments")).toArray();
    const QVector<Argument> &declared = report->m_definition.arguments;
    if (arguments.size() == declared.size()) {
        for (int i = 0; i < arguments.size(); ++i)
            report->m_arguments << readArgument(arguments.at(i), declared.at(i));
    }

    const QJsonArray nested = o.value(QStringLiteral("nested")).toArray();
    for (int i = 0; i < nested.size(); ++i) {
        QString nestedError;
        auto n = fromJson(nested.at(i).toObject(), QStringLiteral("%1 (nested report %2)").arg(sourceName).arg(i + 1),
                          &nestedError);
        if (!n) {
            if (error)
                *error = nestedError;
            return nullptr;
        }
        report->m_nested.push_back(std::move(n));
    }
    return report;
}

SavedReport::~SavedReport() = default;

QVariant SavedReport::item(int row, const QString &name) const
{
    if (row < 1 || row > rowCount())
        return {};
    auto it = m_index.constFind(name);
    if (it == m_index.constEnd())
        it = m_index.constFind(name.toLower());
    if (it == m_index.constEnd())
        return {};
    return m_rows[size_t(row - 1)].at(*it);
}

QString SavedReport::objectText(const QString &name) const
{
    const QString key = name.toLower();
    const auto it = m_texts.constFind(key);
    if (it != m_texts.constEnd())
        return *it;
    if (const TextObject *t = m_definition.textObject(key))
        return t->text;
    return QString();
}

QVector<const ReportData *> SavedReport::nested() const
{
    QVector<const ReportData *> result;
    for (const auto &n : m_nested)
        result.append(n.get());
    return result;
}

bool SavedReport::hasName(const QString &name) const
{
    return m_index.contains(name.toLower());
}

std::pair<int, int> SavedReport::groupRange(int level, int row) const
{
    if (level <= 0 || m_definition.groups.isEmpty())
        return {1, rowCount()};
    if (!m_groups.isBuilt())
        m_groups.build(m_definition.groups, rowCount(), [this](const QString &column, int r) { return item(r, column); });
    return m_groups.range(level, row);
}

} // namespace wip::reports
