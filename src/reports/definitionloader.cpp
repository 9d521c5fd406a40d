#include "reports/definitionloader.h"

#include "reports/expression.h"
#include "reports/querytemplate.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QRegularExpression>
#include <QSet>

namespace wip::reports {

namespace {

// Thrown inside the loader only; fromJson turns it into "<file>: <fault>".
struct LoadFault
{
    QString text;
};

[[noreturn]] void fail(const QString &text)
{
    throw LoadFault{text};
}

bool isIdentifier(const QString &text)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(text).hasMatch();
}

void checkKeys(const QJsonObject &object, const QStringList &allowed, const QString &where)
{
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!allowed.contains(it.key()))
            fail(QStringLiteral("unknown key \"%1\" in %2").arg(it.key(), where));
    }
}

QString requireString(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (!value.isString() || value.toString().isEmpty())
        fail(QStringLiteral("%1 needs a text \"%2\"").arg(where, key));
    return value.toString();
}

QString optString(const QJsonObject &object, const QString &key, const QString &where,
                  const QString &fallback = QString())
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isString())
        fail(QStringLiteral("\"%1\" of %2 must be a text").arg(key, where));
    return value.toString();
}

int optInt(const QJsonObject &object, const QString &key, const QString &where, int fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isDouble() || value.toDouble() != double(value.toInt()) || value.toInt() < 0)
        fail(QStringLiteral("\"%1\" of %2 must be a whole number not below 0").arg(key, where));
    return value.toInt();
}

bool optBool(const QJsonObject &object, const QString &key, const QString &where, bool fallback)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return fallback;
    if (!value.isBool())
        fail(QStringLiteral("\"%1\" of %2 must be true or false").arg(key, where));
    return value.toBool();
}

QJsonArray optArray(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return {};
    if (!value.isArray())
        fail(QStringLiteral("\"%1\" of %2 must be a list").arg(key, where));
    return value.toArray();
}

QJsonObject elementObject(const QJsonValue &value, const QString &where)
{
    if (!value.isObject())
        fail(QStringLiteral("%1 must be an object").arg(where));
    return value.toObject();
}

// A list of texts; a single text stands for a list of one.
QStringList optStringList(const QJsonObject &object, const QString &key, const QString &where)
{
    const QJsonValue value = object.value(key);
    if (value.isUndefined())
        return {};
    if (value.isString())
        return {value.toString()};
    if (!value.isArray())
        fail(QStringLiteral("\"%1\" of %2 must be a list of texts").arg(key, where));
    QStringList list;
    for (const QJsonValue &v : value.toArray()) {
        if (!v.isString())
            fail(QStringLiteral("\"%1\" of %2 must be a list of texts").arg(key, where));
        list.append(v.toString());
    }
    return list;
}

template <typename Enum>
struct Names
{
    Enum value;
    const char *name;
};

const Names<LayoutKind> layoutNames[] = {
    {LayoutKind::Tabular, "tabular"}, {LayoutKind::Form, "form"},
    {LayoutKind::Crosstab, "crosstab"}, {LayoutKind::Composite, "composite"}};
const Names<ValueType> valueTypeNames[] = {
    {ValueType::String, "string"}, {ValueType::Number, "number"},
    {ValueType::Date, "date"}, {ValueType::DateTime, "datetime"}};
const Names<ArgumentType> argumentTypeNames[] = {
    {ArgumentType::String, "string"}, {ArgumentType::Number, "number"},
    {ArgumentType::Date, "date"}, {ArgumentType::DateTime, "datetime"},
    {ArgumentType::StringList, "stringlist"}, {ArgumentType::NumberList, "numberlist"}};
const Names<Band> bandNames[] = {
    {Band::Header, "header"}, {Band::Detail, "detail"}, {Band::GroupHeader, "groupheader"},
    {Band::GroupTrailer, "trailer"}, {Band::Summary, "summary"}, {Band::Footer, "footer"}};
const Names<Align> alignNames[] = {
    {Align::Left, "left"}, {Align::Center, "center"}, {Align::Right, "right"}};

template <typename Enum, size_t N>
Enum parseName(const Names<Enum> (&table)[N], const QString &text, const QString &what,
               const QString &where)
{
    for (const auto &entry : table) {
        if (text.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.value;
    }
    QStringList known;
    for (const auto &entry : table)
        known.append(QLatin1String(entry.name));
    fail(QStringLiteral("%1 \"%2\" of %3 is not one of %4").arg(what, text, where, known.join(QLatin1String(", "))));
}

template <typename Enum, size_t N>
QString nameOf(const Names<Enum> (&table)[N], Enum value)
{
    for (const auto &entry : table) {
        if (entry.value == value)
            return QLatin1String(entry.name);
    }
    return {};
}

Band parseBand(const QString &text, const QString &where)
{
    if (text.compare(QLatin1String("grouptrailer"), Qt::CaseInsensitive) == 0)
        return Band::GroupTrailer;
    return parseName(bandNames, text, QStringLiteral("band"), where);
}

std::unique_ptr<Expression> parseExpression(const QString &text, const QString &where)
{
    QString error;
    auto expression = Expression::parse(text, &error);
    if (!expression)
        fail(QStringLiteral("expression \"%1\" of %2 does not parse: %3").arg(text, where, error));
    return expression;
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
                  QStringLiteral("bold")},
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

QString where(const QString &kind, int index, const QString &name = QString())
{
    return name.isEmpty() ? QStringLiteral("%1 %2").arg(kind).arg(index + 1)
                          : QStringLiteral("%1 \"%2\"").arg(kind, name);
}

Definition readDefinition(const QJsonObject &root, const QString &sourceName)
{
    checkKeys(root, {QStringLiteral("name"), QStringLiteral("comment"), QStringLiteral("layout"),
                     QStringLiteral("query"), QStringLiteral("arguments"), QStringLiteral("columns"),
                     QStringLiteral("sort"), QStringLiteral("texts"), QStringLiteral("computed"),
                     QStringLiteral("groups"), QStringLiteral("crosstab"), QStringLiteral("nested"),
                     QStringLiteral("form"), QStringLiteral("update"), QStringLiteral("page")},
              QStringLiteral("the definition"));
    Definition d;
    d.sourceFile = sourceName;
    d.name = requireString(root, QStringLiteral("name"), QStringLiteral("the definition")).toLower();
    if (!isIdentifier(d.name))
        fail(QStringLiteral("name \"%1\" is not a name").arg(d.name));
    if (sourceName.endsWith(QLatin1String(".json"), Qt::CaseInsensitive)) {
        const QString base = QFileInfo(sourceName).completeBaseName();
        if (base.compare(d.name, Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("name \"%1\" differs from the file name \"%2\"").arg(d.name, base));
    }
    d.layout = parseName(layoutNames, optString(root, QStringLiteral("layout"), QStringLiteral("the definition"), QStringLiteral("tabular")),
                         QStringLiteral("layout"), QStringLiteral("the definition"));
    d.query = optString(root, QStringLiteral("query"), QStringLiteral("the definition"));

    const QJsonArray args = optArray(root, QStringLiteral("arguments"), QStringLiteral("the definition"));
    for (int i = 0; i < args.size(); ++i) {
        Argument a = readArgument(elementObject(args.at(i), where(QStringLiteral("argument"), i)),
                                  where(QStringLiteral("argument"), i));
        if (d.argumentIndex(a.name) >= 0)
            fail(QStringLiteral("argument \"%1\" is declared twice").arg(a.name));
        d.arguments.append(a);
    }
    const QJsonArray cols = optArray(root, QStringLiteral("columns"), QStringLiteral("the definition"));
    for (int i = 0; i < cols.size(); ++i) {
        Column c = readColumn(elementObject(cols.at(i), where(QStringLiteral("column"), i)),
                              where(QStringLiteral("column"), i));
        if (d.columnIndex(c.name) >= 0)
            fail(QStringLiteral("column \"%1\" is declared twice").arg(c.name));
        d.columns.append(c);
    }
    d.sort = optStringList(root, QStringLiteral("sort"), QStringLiteral("the definition"));
    const QJsonArray texts = optArray(root, QStringLiteral("texts"), QStringLiteral("the definition"));
    for (int i = 0; i < texts.size(); ++i) {
        TextObject t = readText(elementObject(texts.at(i), where(QStringLiteral("text"), i)),
                                where(QStringLiteral("text"), i));
        if (d.textObject(t.name))
            fail(QStringLiteral("text \"%1\" is declared twice").arg(t.name));
        d.texts.append(t);
    }
    const QJsonArray computed = optArray(root, QStringLiteral("computed"), QStringLiteral("the definition"));
    for (int i = 0; i < computed.size(); ++i) {
        ComputedField c = readComputed(elementObject(computed.at(i), where(QStringLiteral("computed field"), i)),
                                       where(QStringLiteral("computed field"), i));
        if (d.computedField(c.name) || d.columnIndex(c.name) >= 0)
            fail(QStringLiteral("computed field \"%1\" has the name of another field").arg(c.name));
        d.computed.append(c);
    }
    const QJsonArray groups = optArray(root, QStringLiteral("groups"), QStringLiteral("the definition"));
    for (int i = 0; i < groups.size(); ++i) {
        const QString w = where(QStringLiteral("group"), i);
        const QJsonObject o = elementObject(groups.at(i), w);
        checkKeys(o, {QStringLiteral("level"), QStringLiteral("by"), QStringLiteral("newpage")}, w);
        Group g;
        g.level = optInt(o, QStringLiteral("level"), w, i + 1);
        if (g.level != i + 1)
            fail(QStringLiteral("%1 has level %2; groups are listed outermost first from level 1").arg(w).arg(g.level));
        g.by = optStringList(o, QStringLiteral("by"), w);
        for (QString &b : g.by)
            b = b.toLower();
        if (g.by.isEmpty())
            fail(QStringLiteral("%1 names no column in \"by\"").arg(w));
        g.newPage = optBool(o, QStringLiteral("newpage"), w, false);
        d.groups.append(g);
    }
    if (root.contains(QStringLiteral("crosstab"))) {
        const QString w = QStringLiteral("the crosstab");
        const QJsonObject o = elementObject(root.value(QStringLiteral("crosstab")), w);
        checkKeys(o, {QStringLiteral("rows"), QStringLiteral("columns"), QStringLiteral("values"), QStringLiteral("totals")}, w);
        Crosstab x;
        x.rows = optStringList(o, QStringLiteral("rows"), w);
        x.columns = optStringList(o, QStringLiteral("columns"), w);
        for (QString &r : x.rows)
            r = r.toLower();
        for (QString &c : x.columns)
            c = c.toLower();
        const QJsonArray values = optArray(o, QStringLiteral("values"), w);
        for (int i = 0; i < values.size(); ++i) {
            const QString vw = where(QStringLiteral("crosstab value"), i);
            const QJsonObject vo = elementObject(values.at(i), vw);
            checkKeys(vo, {QStringLiteral("name"), QStringLiteral("expression")}, vw);
            Crosstab::Value v;
            v.name = requireString(vo, QStringLiteral("name"), vw).toLower();
            v.expression = requireString(vo, QStringLiteral("expression"), vw);
            if (!isIdentifier(v.name))
                fail(QStringLiteral("%1 name \"%2\" is not a name").arg(vw, v.name));
            x.values.append(v);
        }
        const QJsonArray totals = optArray(o, QStringLiteral("totals"), w);
        for (int i = 0; i < totals.size(); ++i)
            x.totals.append(readComputed(elementObject(totals.at(i), where(QStringLiteral("crosstab total"), i)),
                                         where(QStringLiteral("crosstab total"), i)));
        d.crosstab = x;
    }
    const QJsonArray nested = optArray(root, QStringLiteral("nested"), QStringLiteral("the definition"));
    for (int i = 0; i < nested.size(); ++i) {
        const QString w = where(QStringLiteral("nested report"), i);
        const QJsonObject o = elementObject(nested.at(i), w);
        checkKeys(o, {QStringLiteral("definition"), QStringLiteral("arguments")}, w);
        Nested n;
        n.definition = requireString(o, QStringLiteral("definition"), w).toLower();
        n.arguments = optStringList(o, QStringLiteral("arguments"), w);
        d.nested.append(n);
    }
    if (root.contains(QStringLiteral("form"))) {
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
            for (QString &f : line.fields)
                f = f.toLower();
            d.form.lines.append(line);
        }
        d.form.headFields = optStringList(o, QStringLiteral("head"), w);
        for (QString &f : d.form.headFields)
            f = f.toLower();
        d.form.extraFields = optStringList(o, QStringLiteral("extra"), w);
        for (QString &f : d.form.extraFields)
            f = f.toLower();
    }
    if (root.contains(QStringLiteral("update"))) {
        const QString w = QStringLiteral("\"update\"");
        const QJsonObject o = elementObject(root.value(QStringLiteral("update")), w);
        checkKeys(o, {QStringLiteral("table"), QStringLiteral("key")}, w);
        d.updateTable = requireString(o, QStringLiteral("table"), w).toLower();
        d.keyColumns = optStringList(o, QStringLiteral("key"), w);
        for (QString &k : d.keyColumns)
            k = k.toLower();
    }
    if (root.contains(QStringLiteral("page"))) {
        const QString w = QStringLiteral("\"page\"");
        const QJsonObject o = elementObject(root.value(QStringLiteral("page")), w);
        checkKeys(o, {QStringLiteral("landscape"), QStringLiteral("paper")}, w);
        d.page.landscape = optBool(o, QStringLiteral("landscape"), w, false);
        d.page.paper = optString(o, QStringLiteral("paper"), w, QStringLiteral("A4"));
        d.page.declared = true;
    }
    return d;
}

// Checks that hold across the parts of one definition.
void validate(const Definition &d)
{
    const bool composite = d.layout == LayoutKind::Composite;
    if (composite) {
        if (!d.query.trimmed().isEmpty())
            fail(QStringLiteral("a composite has no query"));
        if (d.nested.isEmpty())
            fail(QStringLiteral("a composite needs \"nested\" reports"));
        for (const Nested &n : d.nested) {
            if (!isIdentifier(n.definition))
                fail(QStringLiteral("nested report \"%1\" is not a name").arg(n.definition));
            for (const QString &a : n.arguments) {
                if (d.argumentIndex(a) < 0)
                    fail(QStringLiteral("nested report \"%1\" takes the argument \"%2\", which the composite does not declare")
                             .arg(n.definition, a));
            }
        }
    } else {
        if (d.query.trimmed().isEmpty())
            fail(QStringLiteral("a %1 definition needs a \"query\"").arg(nameOf(layoutNames, d.layout)));
        if (d.columns.isEmpty())
            fail(QStringLiteral("the definition declares no columns"));
        if (!d.nested.isEmpty())
            fail(QStringLiteral("only a composite has nested reports"));
        const QueryTemplate query(d.query);
        for (int i = 0; i < query.names().size(); ++i) {
            const QString &name = query.names().at(i);
            const int index = d.argumentIndex(name);
            if (index < 0)
                fail(QStringLiteral("the query uses \":%1\", which is not a declared argument").arg(name));
            else if (d.arguments.at(index).type == ArgumentType::Date && query.dayBound(i) == QueryTemplate::DayBound::Equality)
                fail(QStringLiteral("\":%1\" is a date, a whole day, and no single moment equals it: "
                                    "write \"between :%1 and :%1\"").arg(name));
        }
    }
    if (d.layout == LayoutKind::Crosstab && !d.crosstab)
        fail(QStringLiteral("a crosstab definition needs \"crosstab\""));
    if (d.layout != LayoutKind::Crosstab && d.crosstab)
        fail(QStringLiteral("\"crosstab\" needs the layout \"crosstab\""));

    auto requireColumn = [&](const QString &name, const QString &what) {
        if (d.columnIndex(name) < 0)
            fail(QStringLiteral("%1 names the column \"%2\", which does not exist").arg(what, name));
    };

    // Names an expression of the rows may read.
    QSet<QString> rowNames;
    if (d.crosstab) {
        for (const QString &r : d.crosstab->rows)
            rowNames.insert(r);
        for (const Crosstab::Value &v : d.crosstab->values)
            rowNames.insert(v.name);
        for (const ComputedField &t : d.crosstab->totals)
            rowNames.insert(t.name);
    } else {
        for (const Column &c : d.columns)
            rowNames.insert(c.name);
    }
    for (const ComputedField &c : d.computed)
        rowNames.insert(c.name);

    auto checkExpression = [&](const QString &text, const QString &what, const QSet<QString> &names) {
        const auto expression = parseExpression(text, what);
        for (const QString &name : expression->referencedNames()) {
            if (!names.contains(name.toLower()))
                fail(QStringLiteral("%1 reads \"%2\", which is neither a column nor a computed field").arg(what, name));
        }
    };
    for (const ComputedField &c : d.computed)
        checkExpression(c.expression, QStringLiteral("computed field \"%1\"").arg(c.name), rowNames);

    if (d.crosstab) {
        const Crosstab &x = *d.crosstab;
        if (x.rows.isEmpty() || x.columns.isEmpty() || x.values.isEmpty())
            fail(QStringLiteral("the crosstab needs rows, columns and values"));
        for (const QString &r : x.rows)
            requireColumn(r, QStringLiteral("the crosstab rows"));
        for (const QString &c : x.columns)
            requireColumn(c, QStringLiteral("the crosstab columns"));
        QSet<QString> sourceNames;
        for (const Column &c : d.columns)
            sourceNames.insert(c.name);
        for (const Crosstab::Value &v : x.values)
            checkExpression(v.expression, QStringLiteral("crosstab value \"%1\"").arg(v.name), sourceNames);
        for (const ComputedField &t : x.totals)
            checkExpression(t.expression, QStringLiteral("crosstab total \"%1\"").arg(t.name), rowNames);
    }

    for (const Group &g : d.groups) {
        for (const QString &b : g.by)
            requireColumn(b, QStringLiteral("group %1").arg(g.level));
    }
    for (const QString &s : d.sort) {
        const QStringList parts = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (parts.isEmpty() || parts.size() > 2
            || (parts.size() == 2 && parts.at(1).compare(QLatin1String("A"), Qt::CaseInsensitive) != 0
                && parts.at(1).compare(QLatin1String("D"), Qt::CaseInsensitive) != 0))
            fail(QStringLiteral("sort \"%1\" is not \"column\", \"column A\" or \"column D\"").arg(s));
        requireColumn(parts.at(0), QStringLiteral("the sort"));
    }
    auto requireField = [&](const QString &name, const QString &what) {
        if (!name.isEmpty() && !rowNames.contains(name) && d.columnIndex(name) < 0)
            fail(QStringLiteral("%1 names the field \"%2\", which does not exist").arg(what, name));
    };
    for (const TextObject &t : d.texts) {
        requireField(t.under, QStringLiteral("text \"%1\"").arg(t.name));
        if ((t.band == Band::GroupHeader || t.band == Band::GroupTrailer) && (t.group < 1 || t.group > d.groups.size()))
            fail(QStringLiteral("text \"%1\" is in group %2, which does not exist").arg(t.name).arg(t.group));
    }
    for (const ComputedField &c : d.computed) {
        requireField(c.under, QStringLiteral("computed field \"%1\"").arg(c.name));
        if ((c.band == Band::GroupHeader || c.band == Band::GroupTrailer) && (c.group < 1 || c.group > d.groups.size()))
            fail(QStringLiteral("computed field \"%1\" is in group %2, which does not exist").arg(c.name).arg(c.group));
    }
    for (const FormLayout::Line &line : d.form.lines) {
        for (const QString &f : line.fields)
            requireField(f, QStringLiteral("form line \"%1\"").arg(line.label));
    }
    for (const QString &f : d.form.headFields)
        requireField(f, QStringLiteral("the form's head fields"));
    for (const QString &f : d.form.extraFields)
        requireField(f, QStringLiteral("the form's extra fields"));
    if (!d.updateTable.isEmpty()) {
        if (!isIdentifier(d.updateTable))
            fail(QStringLiteral("update table \"%1\" is not a name").arg(d.updateTable));
        if (d.keyColumns.isEmpty())
            fail(QStringLiteral("update table \"%1\" needs key columns").arg(d.updateTable));
        for (const QString &k : d.keyColumns)
            requireColumn(k, QStringLiteral("the update key"));
    }
}

QJsonArray stringArray(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

QJsonObject computedToJson(const ComputedField &c)
{
    QJsonObject o;
    o.insert(QStringLiteral("name"), c.name);
    o.insert(QStringLiteral("expression"), c.expression);
    o.insert(QStringLiteral("band"), nameOf(bandNames, c.band));
    if (c.group)
        o.insert(QStringLiteral("group"), c.group);
    if (!c.under.isEmpty())
        o.insert(QStringLiteral("under"), c.under);
    if (!c.format.isEmpty())
        o.insert(QStringLiteral("format"), c.format);
    o.insert(QStringLiteral("type"), nameOf(valueTypeNames, c.type));
    o.insert(QStringLiteral("align"), nameOf(alignNames, c.align));
    if (!c.visible)
        o.insert(QStringLiteral("visible"), false);
    if (!c.caption.isEmpty())
        o.insert(QStringLiteral("caption"), stringArray(c.caption));
    if (!c.print)
        o.insert(QStringLiteral("print"), false);
    return o;
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

QJsonObject DefinitionLoader::toJson(const Definition &d)
{
    QJsonObject root;
    root.insert(QStringLiteral("name"), d.name);
    root.insert(QStringLiteral("layout"), nameOf(layoutNames, d.layout));
    if (!d.query.isEmpty())
        root.insert(QStringLiteral("query"), d.query);
    if (!d.arguments.isEmpty()) {
        QJsonArray a;
        for (const Argument &arg : d.arguments) {
            QJsonObject o{{QStringLiteral("name"), arg.name},
                          {QStringLiteral("type"), nameOf(argumentTypeNames, arg.type)}};
            if (!arg.choices.isEmpty()) {
                QJsonArray choices;
                for (qsizetype i = 0; i < arg.choices.size(); ++i) {
                    const QString value = arg.choiceValues.value(i, arg.choices.at(i));
                    if (value == arg.choices.at(i))
                        choices.append(value);
                    else
                        choices.append(QJsonObject{{QStringLiteral("value"), value},
                                                   {QStringLiteral("text"), arg.choices.at(i)}});
                }
                o.insert(QStringLiteral("choices"), choices);
            }
            if (!arg.caption.isEmpty())
                o.insert(QStringLiteral("caption"), arg.caption);
            a.append(o);
        }
        root.insert(QStringLiteral("arguments"), a);
    }
    if (!d.columns.isEmpty()) {
        QJsonArray a;
        for (const Column &c : d.columns) {
            QJsonObject o;
            o.insert(QStringLiteral("name"), c.name);
            if (!c.dbName.isEmpty())
                o.insert(QStringLiteral("db"), c.dbName);
            o.insert(QStringLiteral("type"), nameOf(valueTypeNames, c.type));
            if (!c.caption.isEmpty())
                o.insert(QStringLiteral("caption"), stringArray(c.caption));
            if (!c.format.isEmpty())
                o.insert(QStringLiteral("format"), c.format);
            if (c.width)
                o.insert(QStringLiteral("width"), c.width);
            if (!c.visible)
                o.insert(QStringLiteral("visible"), false);
            if (!c.print)
                o.insert(QStringLiteral("print"), false);
            if (c.picture)
                o.insert(QStringLiteral("picture"), true);
            if (c.rowKey)
                o.insert(QStringLiteral("rowKey"), true);
            if (c.protect)
                o.insert(QStringLiteral("protect"), true);
            o.insert(QStringLiteral("align"), nameOf(alignNames, c.align));
            a.append(o);
        }
        root.insert(QStringLiteral("columns"), a);
    }
    if (!d.sort.isEmpty())
        root.insert(QStringLiteral("sort"), stringArray(d.sort));
    if (!d.texts.isEmpty()) {
        QJsonArray a;
        for (const TextObject &t : d.texts) {
            QJsonObject o;
            o.insert(QStringLiteral("name"), t.name);
            o.insert(QStringLiteral("text"), t.text);
            o.insert(QStringLiteral("band"), nameOf(bandNames, t.band));
            if (t.group)
                o.insert(QStringLiteral("group"), t.group);
            if (!t.under.isEmpty())
                o.insert(QStringLiteral("under"), t.under);
            o.insert(QStringLiteral("align"), nameOf(alignNames, t.align));
            if (t.fontSize)
                o.insert(QStringLiteral("size"), t.fontSize);
            if (t.bold)
                o.insert(QStringLiteral("bold"), true);
            a.append(o);
        }
        root.insert(QStringLiteral("texts"), a);
    }
    if (!d.computed.isEmpty()) {
        QJsonArray a;
        for (const ComputedField &c : d.computed)
            a.append(computedToJson(c));
        root.insert(QStringLiteral("computed"), a);
    }
    if (!d.groups.isEmpty()) {
        QJsonArray a;
        for (const Group &g : d.groups) {
            QJsonObject o{{QStringLiteral("level"), g.level}, {QStringLiteral("by"), stringArray(g.by)}};
            if (g.newPage)
                o.insert(QStringLiteral("newpage"), true);
            a.append(o);
        }
        root.insert(QStringLiteral("groups"), a);
    }
    if (d.crosstab) {
        QJsonObject o;
        o.insert(QStringLiteral("rows"), stringArray(d.crosstab->rows));
        o.insert(QStringLiteral("columns"), stringArray(d.crosstab->columns));
        QJsonArray values;
        for (const Crosstab::Value &v : d.crosstab->values)
            values.append(QJsonObject{{QStringLiteral("name"), v.name}, {QStringLiteral("expression"), v.expression}});
        o.insert(QStringLiteral("values"), values);
        if (!d.crosstab->totals.isEmpty()) {
            QJsonArray totals;
            for (const ComputedField &t : d.crosstab->totals)
                totals.append(computedToJson(t));
            o.insert(QStringLiteral("totals"), totals);
        }
        root.insert(QStringLiteral("crosstab"), o);
    }
    if (!d.nested.isEmpty()) {
        QJsonArray a;
        for (const Nested &n : d.nested)
            a.append(QJsonObject{{QStringLiteral("definition"), n.definition},
                                 {QStringLiteral("arguments"), stringArray(n.arguments)}});
        root.insert(QStringLiteral("nested"), a);
    }
    if (!d.form.headings.isEmpty() || !d.form.lines.isEmpty() || !d.form.headFields.isEmpty()
        || !d.form.extraFields.isEmpty()) {
        QJsonObject o;
        o.insert(QStringLiteral("headings"), stringArray(d.form.headings));
        QJsonArray lines;
        for (const FormLayout::Line &line : d.form.lines)
            lines.append(QJsonObject{{QStringLiteral("label"), line.label},
                                     {QStringLiteral("fields"), stringArray(line.fields)}});
        o.insert(QStringLiteral("lines"), lines);
        if (!d.form.headFields.isEmpty())
            o.insert(QStringLiteral("head"), stringArray(d.form.headFields));
        if (!d.form.extraFields.isEmpty())
            o.insert(QStringLiteral("extra"), stringArray(d.form.extraFields));
        root.insert(QStringLiteral("form"), o);
    }
    if (!d.updateTable.isEmpty())
        root.insert(QStringLiteral("update"), QJsonObject{{QStringLiteral("table"), d.updateTable},
                                                         {QStringLiteral("key"), stringArray(d.keyColumns)}});
    if (d.page.declared) {
        QJsonObject page{{QStringLiteral("paper"), d.page.paper}};
        if (d.page.landscape)
            page.insert(QStringLiteral("landscape"), true);
        root.insert(QStringLiteral("page"), page);
    }
    return root;
}

} // namespace wip::reports
