#include "reports/definitionloader.h"

#include "reports/definitionjson.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QJsonParseError>

#include <algorithm>

namespace wip::reports {

using namespace definitionjson;

namespace {

const QString theDefinition = QStringLiteral("the definition");

void toLower(QStringList &names)
{
    for (QString &name : names)
        name = name.toLower();
}

Argument readArgument(const QJsonObject &o, const QString &where)
{
    checkKeys(o, {QStringLiteral("name"), QStringLiteral("type"), QStringLiteral("choices"), QStringLiteral("caption")},
              where);
    Argument a;
    a.name = requireString(o, QStringLiteral("name"), where);
    if (!isIdentifier(a.name))
        fail(QStringLiteral("argument name \"%1\" is not a name").arg(a.name));
    a.type = parseName(argumentTypeNames, optString(o, QStringLiteral("type"), where, QStringLiteral("string")),
                       QStringLiteral("type"), where);
    a.caption = optString(o, QStringLiteral("caption"), where);
    // "choices": texts offered when the user is asked; each a text standing for
    // itself or {"value": "1", "text": "1-无石Stone delay"}.
    const QJsonArray choices = optArray(o, QStringLiteral("choices"), where);
    for (qsizetype i = 0; i < choices.size(); ++i) {
        const QString w = QStringLiteral("choice %1 of %2").arg(i + 1).arg(where);
        const QJsonValue c = choices.at(i);
        QString text;
        QString value;
        if (c.isString()) {
            text = value = c.toString();
        } else if (c.isObject()) {
            const QJsonObject co = c.toObject();
            checkKeys(co, {QStringLiteral("value"), QStringLiteral("text")}, w);
            value = requireString(co, QStringLiteral("value"), w);
            text = optString(co, QStringLiteral("text"), w, value);
        } else {
            fail(QStringLiteral("%1 must be a text or an object with \"value\" and \"text\"").arg(w));
        }
        if (text.isEmpty())
            fail(QStringLiteral("%1 has no text").arg(w));
        if (a.choices.contains(text))
            fail(QStringLiteral("%1 repeats \"%2\"").arg(w, text));
        a.choices.append(text);
        a.choiceValues.append(value);
    }
    return a;
}

Column readColumn(const QJsonObject &o, const QString &where)
{
    checkKeys(o, {QStringLiteral("name"), QStringLiteral("db"), QStringLiteral("type"), QStringLiteral("caption"),
                  QStringLiteral("format"), QStringLiteral("width"), QStringLiteral("visible"),
                  QStringLiteral("align"), QStringLiteral("print"), QStringLiteral("picture"), QStringLiteral("rowKey"),
                  QStringLiteral("protect")},
              where);
    Column c;
    c.name = requireString(o, QStringLiteral("name"), where).toLower();
    if (!isIdentifier(c.name))
        fail(QStringLiteral("column name \"%1\" is not a name").arg(c.name));
    c.dbName = optString(o, QStringLiteral("db"), where);
    if (!c.dbName.isEmpty()) {
        const QStringList parts = c.dbName.split(QLatin1Char('.'));
        if (parts.size() > 2 || !std::all_of(parts.begin(), parts.end(), isIdentifier))
            fail(QStringLiteral("\"db\" \"%1\" of %2 is not table.column").arg(c.dbName, where));
    }
    c.type = parseName(valueTypeNames, optString(o, QStringLiteral("type"), where, QStringLiteral("string")),
                       QStringLiteral("type"), where);
    c.caption = optStringList(o, QStringLiteral("caption"), where);
    c.format = optString(o, QStringLiteral("format"), where);
    c.width = optInt(o, QStringLiteral("width"), where, 0);
    c.visible = optBool(o, QStringLiteral("visible"), where, true);
    c.print = optBool(o, QStringLiteral("print"), where, true);
    c.picture = optBool(o, QStringLiteral("picture"), where, false);
    c.rowKey = optBool(o, QStringLiteral("rowKey"), where, false);
    c.protect = optBool(o, QStringLiteral("protect"), where, false);
    c.align = parseName(alignNames,
                        optString(o, QStringLiteral("align"), where,
                                  c.type == ValueType::Number ? QStringLiteral("right") : QStringLiteral("left")),
                        QStringLiteral("align"), where);
    return c;
}

TextObject readText(const QJsonObject &o, const QString &where)
{
    checkKeys(o, {QStringLiteral("name"), QStringLiteral("text"), QStringLiteral("band"), QStringLiteral("group"),
                  QStringLiteral("under"), QStringLiteral("align"), QStringLiteral("size"),
                  QStringLiteral("bold"), QStringLiteral("expression")},
              where);
    TextObject t;
    t.name = requireString(o, QStringLiteral("name"), where).toLower();
    if (!isIdentifier(t.name))
        fail(QStringLiteral("text name \"%1\" is not a name").arg(t.name));
    t.text = optString(o, QStringLiteral("text"), where);
    t.band = parseBand(optString(o, QStringLiteral("band"), where, QStringLiteral("header")), where);
    t.group = optInt(o, QStringLiteral("group"), where, 0);
    t.under = optString(o, QStringLiteral("under"), where).toLower();
    t.align = parseName(alignNames, optString(o, QStringLiteral("align"), where, QStringLiteral("center")),
                        QStringLiteral("align"), where);
    t.fontSize = optInt(o, QStringLiteral("size"), where, 0);
    t.bold = optBool(o, QStringLiteral("bold"), where, false);
    t.expression = optString(o, QStringLiteral("expression"), where);
    return t;
}

ComputedField readComputed(const QJsonObject &o, const QString &where)
{
    checkKeys(o, {QStringLiteral("name"), QStringLiteral("expression"), QStringLiteral("band"),
                  QStringLiteral("group"), QStringLiteral("under"), QStringLiteral("format"),
                  QStringLiteral("type"), QStringLiteral("align"), QStringLiteral("visible"),
                  QStringLiteral("caption"), QStringLiteral("print")},
              where);
    ComputedField c;
    c.name = requireString(o, QStringLiteral("name"), where).toLower();
    if (!isIdentifier(c.name))
        fail(QStringLiteral("computed name \"%1\" is not a name").arg(c.name));
    c.expression = requireString(o, QStringLiteral("expression"), where);
    c.band = parseBand(optString(o, QStringLiteral("band"), where, QStringLiteral("detail")), where);
    c.group = optInt(o, QStringLiteral("group"), where, 0);
    c.under = optString(o, QStringLiteral("under"), where).toLower();
    c.format = optString(o, QStringLiteral("format"), where);
    c.type = parseName(valueTypeNames, optString(o, QStringLiteral("type"), where, QStringLiteral("number")),
                       QStringLiteral("type"), where);
    c.align = parseName(alignNames,
                        optString(o, QStringLiteral("align"), where,
                                  c.type == ValueType::Number ? QStringLiteral("right") : QStringLiteral("left")),
                        QStringLiteral("align"), where);
    c.visible = optBool(o, QStringLiteral("visible"), where, true);
    c.caption = optStringList(o, QStringLiteral("caption"), where);
    c.print = optBool(o, QStringLiteral("print"), where, true);
    return c;
}

// The name, layout and query; the name must be the file's own.
void readHead(const QJsonObject &root, const QString &sourceName, Definition &d)
{
    checkKeys(root, {QStringLiteral("name"), QStringLiteral("comment"), QStringLiteral("layout"),
                     QStringLiteral("query"), QStringLiteral("arguments"), QStringLiteral("columns"),
                     QStringLiteral("sort"), QStringLiteral("texts"), QStringLiteral("computed"),
                     QStringLiteral("groups"), QStringLiteral("crosstab"), QStringLiteral("nested"),
                     QStringLiteral("form"), QStringLiteral("update"), QStringLiteral("page"),
                     QStringLiteral("fill")},
              theDefinition);
    d.sourceFile = sourceName;
    d.name = requireString(root, QStringLiteral("name"), theDefinition).toLower();
    if (!isIdentifier(d.name))
        fail(QStringLiteral("name \"%1\" is not a name").arg(d.name));
    if (sourceName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)) {
        const QString base = QFileInfo(sourceName).completeBaseName();
        if (base.compare(d.name, Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("name \"%1\" differs from the file name \"%2\"").arg(d.name, base));
    }
    d.layout = parseName(layoutNames, optString(root, QStringLiteral("layout"), theDefinition, QStringLiteral("tabular")),
                         QStringLiteral("layout"), theDefinition);
    d.query = optString(root, QStringLiteral("query"), theDefinition);
}

// Reads each element of root's list `key` with read(object, where) and hands it to add.
template <typename Read, typename Add>
void readEach(const QJsonObject &root, const QString &key, const QString &kind, Read read, Add add)
{
    const QJsonArray list = optArray(root, key, theDefinition);
    for (int i = 0; i < list.size(); ++i) {
        const QString w = where(kind, i);
        add(read(elementObject(list.at(i), w), w));
    }
}

// Arguments, columns, the sort, texts and computed fields; no name is declared twice.
void readFields(const QJsonObject &root, Definition &d)
{
    readEach(root, QStringLiteral("arguments"), QStringLiteral("argument"), readArgument, [&](Argument a) {
        if (d.argumentIndex(a.name) >= 0)
            fail(QStringLiteral("argument \"%1\" is declared twice").arg(a.name));
        d.arguments.append(a);
    });
    readEach(root, QStringLiteral("columns"), QStringLiteral("column"), readColumn, [&](Column c) {
        if (d.columnIndex(c.name) >= 0)
            fail(QStringLiteral("column \"%1\" is declared twice").arg(c.name));
        d.columns.append(c);
    });
    d.sort = optStringList(root, QStringLiteral("sort"), theDefinition);
    readEach(root, QStringLiteral("texts"), QStringLiteral("text"), readText, [&](TextObject t) {
        if (d.textObject(t.name))
            fail(QStringLiteral("text \"%1\" is declared twice").arg(t.name));
        d.texts.append(t);
    });
    readEach(root, QStringLiteral("computed"), QStringLiteral("computed field"), readComputed, [&](ComputedField c) {
        if (d.computedField(c.name) || d.columnIndex(c.name) >= 0)
            fail(QStringLiteral("computed field \"%1\" has the name of another field").arg(c.name));
        d.computed.append(c);
    });
}

void readGroups(const QJsonObject &root, Definition &d)
{
    const QJsonArray groups = optArray(root, QStringLiteral("groups"), theDefinition);
    for (int i = 0; i < groups.size(); ++i) {
        const QString w = where(QStringLiteral("group"), i);
        const QJsonObject o = elementObject(groups.at(i), w);
        checkKeys(o, {QStringLiteral("level"), QStringLiteral("by"), QStringLiteral("newpage")}, w);
        Group g;
        g.level = optInt(o, QStringLiteral("level"), w, i + 1);
        if (g.level != i + 1)
            fail(QStringLiteral("%1 has level %2; groups are listed outermost first from level 1").arg(w).arg(g.level));
        g.by = optStringList(o, QStringLiteral("by"), w);
        toLower(g.by);
        if (g.by.isEmpty())
            fail(QStringLiteral("%1 names no column in \"by\"").arg(w));
        g.newPage = optBool(o, QStringLiteral("newpage"), w, false);
        d.groups.append(g);
    }
}

Crosstab::Value readCrosstabValue(const QJsonObject &vo, const QString &vw)
{
    checkKeys(vo, {QStringLiteral("name"), QStringLiteral("expression")}, vw);
    Crosstab::Value v;
    v.name = requireString(vo, QStringLiteral("name"), vw).toLower();
    v.expression = requireString(vo, QStringLiteral("expression"), vw);
    if (!isIdentifier(v.name))
        fail(QStringLiteral("%1 name \"%2\" is not a name").arg(vw, v.name));
    return v;
}

void readCrosstab(const QJsonObject &root, Definition &d)
{
    if (!root.contains(QStringLiteral("crosstab")))
        return;
    const QString w = QStringLiteral("the crosstab");
    const QJsonObject o = elementObject(root.value(QStringLiteral("crosstab")), w);
    checkKeys(o, {QStringLiteral("rows"), QStringLiteral("columns"), QStringLiteral("values"), QStringLiteral("totals")}, w);
    Crosstab x;
    x.rows = optStringList(o, QStringLiteral("rows"), w);
    x.columns = optStringList(o, QStringLiteral("columns"), w);
    toLower(x.rows);
    toLower(x.columns);
    const QJsonArray values = optArray(o, QStringLiteral("values"), w);
    for (int i = 0; i < values.size(); ++i) {
        const QString vw = where(QStringLiteral("crosstab value"), i);
        x.values.append(readCrosstabValue(elementObject(values.at(i), vw), vw));
    }
    const QJsonArray totals = optArray(o, QStringLiteral("totals"), w);
    for (int i = 0; i < totals.size(); ++i)
        x.totals.append(readComputed(elementObject(totals.at(i), where(QStringLiteral("crosstab total"), i)),
                                     where(QStringLiteral("crosstab total"), i)));
    d.crosstab = x;
}

void readNested(const QJsonObject &root, Definition &d)
{
    const QJsonArray nested = optArray(root, QStringLiteral("nested"), theDefinition);
    for (int i = 0; i < nested.size(); ++i) {
        const QString w = where(QStringLiteral("nested report"), i);
        const QJsonObject o = elementObject(nested.at(i), w);
        checkKeys(o, {QStringLiteral("definition"), QStringLiteral("arguments")}, w);
        Nested n;
        n.definition = requireString(o, QStringLiteral("definition"), w).toLower();
        n.arguments = optStringList(o, QStringLiteral("arguments"), w);
        d.nested.append(n);
    }
}

void readForm(const QJsonObject &root, Definition &d)
{
    if (!root.contains(QStringLiteral("form")))
        return;
    const QString w = QStringLiteral("the form");
    const QJsonObject o = elementObject(root.value(QStringLiteral("form")), w);
    checkKeys(o, {QStringLiteral("headings"), QStringLiteral("lines"), QStringLiteral("head"), QStringLiteral("extra")},
              w);
    d.form.headings = optStringList(o, QStringLiteral("headings"), w);
    const QJsonArray lines = optArray(o, QStringLiteral("lines"), w);
    for (int i = 0; i < lines.size(); ++i) {
        const QString lw = where(QStringLiteral("form line"), i);
        const QJsonObject lo = elementObject(lines.at(i), lw);
        checkKeys(lo, {QStringLiteral("label"), QStringLiteral("fields")}, lw);
        FormLayout::Line line;
        line.label = optString(lo, QStringLiteral("label"), lw);
        line.fields = optStringList(lo, QStringLiteral("fields"), lw);
        toLower(line.fields);
        d.form.lines.append(line);
    }
    d.form.headFields = optStringList(o, QStringLiteral("head"), w);
    toLower(d.form.headFields);
    d.form.extraFields = optStringList(o, QStringLiteral("extra"), w);
    toLower(d.form.extraFields);
}

// The table rows are written back to, and the paper.
void readUpdateAndPage(const QJsonObject &root, Definition &d)
{
    if (root.contains(QStringLiteral("update"))) {
        const QString w = QStringLiteral("\"update\"");
        const QJsonObject o = elementObject(root.value(QStringLiteral("update")), w);
        checkKeys(o, {QStringLiteral("table"), QStringLiteral("key")}, w);
        d.updateTable = requireString(o, QStringLiteral("table"), w).toLower();
        d.keyColumns = optStringList(o, QStringLiteral("key"), w);
        toLower(d.keyColumns);
    }
    if (root.contains(QStringLiteral("page"))) {
        const QString w = QStringLiteral("\"page\"");
        const QJsonObject o = elementObject(root.value(QStringLiteral("page")), w);
        checkKeys(o, {QStringLiteral("landscape"), QStringLiteral("paper")}, w);
        d.page.landscape = optBool(o, QStringLiteral("landscape"), w, false);
        d.page.paper = optString(o, QStringLiteral("paper"), w, QStringLiteral("A4"));
        d.page.declared = true;
    }
    if (root.contains(QStringLiteral("fill"))) {
        const QString w = QStringLiteral("\"fill\"");
        const QJsonObject o = elementObject(root.value(QStringLiteral("fill")), w);
        checkKeys(o, {QStringLiteral("when"), QStringLiteral("color")}, w);
        d.fill.when = requireString(o, QStringLiteral("when"), w).toLower();
        d.fill.color = requireString(o, QStringLiteral("color"), w).toLower();
        static const QRegularExpression colour(QStringLiteral("^#[0-9a-f]{6}$"));
        if (!colour.match(d.fill.color).hasMatch())
            fail(QStringLiteral("%1: color \"%2\" is not #rrggbb").arg(w, d.fill.color));
    }
}

// Each part in the order of the file format, so that the first fault found is
// the same whatever else is wrong.
Definition readDefinition(const QJsonObject &root, const QString &sourceName)
{
    Definition d;
    readHead(root, sourceName, d);
    readFields(root, d);
    readGroups(root, d);
    readCrosstab(root, d);
    readNested(root, d);
    readForm(root, d);
    readUpdateAndPage(root, d);
    return d;
}

} // namespace

std::optional<Definition> DefinitionLoader::loadFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: cannot be read (%2)").arg(path, file.errorString());
        return std::nullopt;
    }
    return loadJson(file.readAll(), path, error);
}

std::optional<Definition> DefinitionLoader::loadJson(const QByteArray &json, const QString &sourceName, QString *error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        if (error)
            *error = QStringLiteral("%1: not valid JSON at offset %2 (%3)")
                         .arg(sourceName).arg(parseError.offset).arg(parseError.errorString());
        return std::nullopt;
    }
    if (!document.isObject()) {
        if (error)
            *error = QStringLiteral("%1: the file does not hold a JSON object").arg(sourceName);
        return std::nullopt;
    }
    return fromJson(document.object(), sourceName, error);
}

std::optional<Definition> DefinitionLoader::fromJson(const QJsonObject &object, const QString &sourceName, QString *error)
{
    try {
        Definition d = readDefinition(object, sourceName);
        validate(d);
        return d;
    } catch (const LoadFault &fault) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(sourceName, fault.text);
        return std::nullopt;
    }
}

} // namespace wip::reports
