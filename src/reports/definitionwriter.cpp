#include "reports/definitionloader.h"

#include "reports/definitionjson.h"

// DefinitionLoader::toJson: a definition written back in the file format, leaving
// out what equals its default, so that fromJson reads it back equal.

namespace wip::reports {

using namespace definitionjson;

namespace {

QJsonArray stringArray(const QStringList &list)
{
    return QJsonArray::fromStringList(list);
}

QJsonObject argumentToJson(const Argument &arg)
{
    QJsonObject o{{QStringLiteral("name"), arg.name}, {QStringLiteral("type"), nameOf(argumentTypeNames, arg.type)}};
    if (!arg.choices.isEmpty()) {
        QJsonArray choices;
        for (qsizetype i = 0; i < arg.choices.size(); ++i) {
            const QString value = arg.choiceValues.value(i, arg.choices.at(i));
            if (value == arg.choices.at(i))
                choices.append(value);
            else
                choices.append(QJsonObject{{QStringLiteral("value"), value}, {QStringLiteral("text"), arg.choices.at(i)}});
        }
        o.insert(QStringLiteral("choices"), choices);
    }
    if (!arg.caption.isEmpty())
        o.insert(QStringLiteral("caption"), arg.caption);
    return o;
}

QJsonObject columnToJson(const Column &c)
{
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
    return o;
}

QJsonObject textToJson(const TextObject &t)
{
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
    if (!t.expression.isEmpty())
        o.insert(QStringLiteral("expression"), t.expression);
    return o;
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

QJsonObject groupToJson(const Group &g)
{
    QJsonObject o{{QStringLiteral("level"), g.level}, {QStringLiteral("by"), stringArray(g.by)}};
    if (g.newPage)
        o.insert(QStringLiteral("newpage"), true);
    return o;
}

QJsonObject nestedToJson(const Nested &n)
{
    return QJsonObject{{QStringLiteral("definition"), n.definition}, {QStringLiteral("arguments"), stringArray(n.arguments)}};
}

// Each element of list as toJson writes it, under key when there is any.
template <typename List, typename ToJson>
void insertList(QJsonObject &root, const QString &key, const List &list, ToJson toJson)
{
    if (list.isEmpty())
        return;
    QJsonArray a;
    for (const auto &element : list)
        a.append(toJson(element));
    root.insert(key, a);
}

QJsonObject crosstabToJson(const Crosstab &x)
{
    QJsonObject o;
    o.insert(QStringLiteral("rows"), stringArray(x.rows));
    o.insert(QStringLiteral("columns"), stringArray(x.columns));
    QJsonArray values;
    for (const Crosstab::Value &v : x.values)
        values.append(QJsonObject{{QStringLiteral("name"), v.name}, {QStringLiteral("expression"), v.expression}});
    o.insert(QStringLiteral("values"), values);
    insertList(o, QStringLiteral("totals"), x.totals, computedToJson);
    return o;
}

QJsonObject formToJson(const FormLayout &form)
{
    QJsonObject o;
    o.insert(QStringLiteral("headings"), stringArray(form.headings));
    QJsonArray lines;
    for (const FormLayout::Line &line : form.lines)
        lines.append(QJsonObject{{QStringLiteral("label"), line.label}, {QStringLiteral("fields"), stringArray(line.fields)}});
    o.insert(QStringLiteral("lines"), lines);
    if (!form.headFields.isEmpty())
        o.insert(QStringLiteral("head"), stringArray(form.headFields));
    if (!form.extraFields.isEmpty())
        o.insert(QStringLiteral("extra"), stringArray(form.extraFields));
    return o;
}

} // namespace

QJsonObject DefinitionLoader::toJson(const Definition &d)
{
    QJsonObject root;
    root.insert(QStringLiteral("name"), d.name);
    root.insert(QStringLiteral("layout"), nameOf(layoutNames, d.layout));
    if (!d.query.isEmpty())
        root.insert(QStringLiteral("query"), d.query);
    insertList(root, QStringLiteral("arguments"), d.arguments, argumentToJson);
    insertList(root, QStringLiteral("columns"), d.columns, columnToJson);
    if (!d.sort.isEmpty())
        root.insert(QStringLiteral("sort"), stringArray(d.sort));
    insertList(root, QStringLiteral("texts"), d.texts, textToJson);
    insertList(root, QStringLiteral("computed"), d.computed, computedToJson);
    insertList(root, QStringLiteral("groups"), d.groups, groupToJson);
    if (d.crosstab)
        root.insert(QStringLiteral("crosstab"), crosstabToJson(*d.crosstab));
    insertList(root, QStringLiteral("nested"), d.nested, nestedToJson);
    if (!d.form.headings.isEmpty() || !d.form.lines.isEmpty() || !d.form.headFields.isEmpty()
        || !d.form.extraFields.isEmpty())
        root.insert(QStringLiteral("form"), formToJson(d.form));
    if (!d.updateTable.isEmpty())
        root.insert(QStringLiteral("update"), QJsonObject{{QStringLiteral("table"), d.updateTable},
                                                         {QStringLiteral("key"), stringArray(d.keyColumns)}});
    if (d.page.declared) {
        QJsonObject page{{QStringLiteral("paper"), d.page.paper}};
        if (d.page.landscape)
            page.insert(QStringLiteral("landscape"), true);
        root.insert(QStringLiteral("page"), page);
    }
    if (d.fill.isSet())
        root.insert(QStringLiteral("fill"), QJsonObject{{QStringLiteral("when"), d.fill.when},
                                                       {QStringLiteral("color"), d.fill.color}});
    return root;
}

} // namespace wip::reports
