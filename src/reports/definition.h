#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace wip::reports {

// A report definition: plain data, loaded from a JSON file under
// src/reports/definitions/ (format: docs/definitions.md). The DataStore runs it;
// the renderer lays it out. Nothing here touches a database or a device.

enum class ValueType { String, Number, Date, DateTime };
enum class ArgumentType { String, Number, Date, DateTime, StringList, NumberList };
enum class LayoutKind { Tabular, Form, Crosstab, Composite };
enum class Band { Header, Detail, GroupHeader, GroupTrailer, Summary, Footer };
enum class Align { Left, Center, Right };

struct Argument
{
    QString name;
    ArgumentType type = ArgumentType::String;
    // Values offered when the user is asked for the argument: the texts shown, and
    // the value each stands for (the same index; "1" for "1-无石Stone delay").
    // Empty for most arguments.
    QStringList choices;
    QStringList choiceValues;
    // How the argument is named where a printed report states what was asked
    // ("货期 Deldate"); empty: its name.
    QString caption;
};

struct Column
{
    QString name;          // result column name (lower case), as the query returns it
    QString dbName;        // "table.column" it comes from (documentation, updates)
    ValueType type = ValueType::String;
    QStringList caption;   // caption lines, e.g. {"本日完成PCS", "Today Finish"}; empty: none
    QString format;        // display format; empty: [general]
    int width = 0;         // width in characters; 0: from the caption and format
    bool visible = true;   // shown on screen (and then printed and exported unless `print` is false)
    Align align = Align::Left;   // Left for strings, Right for numbers unless given
    bool print = true;     // false: not printed and not exported (ids, tick columns, join columns)
    bool picture = false;  // the value names a picture file of the picture folder; shown as the image
    bool rowKey = false;   // identifies the row: repeated on the left of pages printed across
    bool protect = false;  // a form shows it but the user does not type into it (stamped dates, the key)
};

// A static text of the layout (t_head, t_title, "TOTAL", captions of a form ...).
// Its text can be changed at run time by Modify("name.text='...'").
struct TextObject
{
    QString name;
    QString text;
    Band band = Band::Header;
    int group = 0;         // group level for GroupHeader/GroupTrailer bands
    QString under;         // column name whose position it takes in its band; empty: own line
    Align align = Align::Center;
    int fontSize = 0;      // points; 0: the report's default
    bool bold = false;
    // The text a retrieved report shows when nothing set it at run time: an
    // expression over the retrieval arguments ("pcode + '过货统计报表'"), so the
    // heading follows the arguments wherever the report is produced. Empty: none.
    QString expression;
};

// A computed field: an expression over columns (and other computed fields).
struct ComputedField
{
    QString name;          // compute_1, c_wax_wip ...
    QString expression;
    Band band = Band::Detail;
    int group = 0;
    QString under;         // column name whose position it takes in its band
    QString format;
    ValueType type = ValueType::Number;  // result type for display and export
    Align align = Align::Right;
    bool visible = true;
    QStringList caption;   // caption lines when it is shown as a detail column
    bool print = true;     // false: a detail column that is not printed and not exported
};

struct Group
{
    int level = 1;         // 1 = outermost
    QStringList by;        // column names; a new group starts when any of them changes
    bool newPage = false;
};

// Crosstab: the source rows are pivoted into one row per distinct row-key, one
// value column per distinct column-key and value, and grand-total columns.
struct Crosstab
{
    QStringList rows;      // row-key column names (e.g. gongxu_code)
    QStringList columns;   // column-key column names (e.g. edtime)
    struct Value
    {
        QString name;      // result column name when there is one column key value (e.g. qty)
        QString expression; // "sum(qty for crosstab)"
    };
    QVector<Value> values;
    QVector<ComputedField> totals;  // e.g. grand_sum_qty = "crosstabsum(1)"
};

// A nested report of a composite, retrieved with the composite's own arguments
// mapped to the nested report's arguments by name or position.
struct Nested
{
    QString definition;
    QStringList arguments; // names of the composite's arguments, in the nested report's order
};

// Form layout: one row of the DataStore shown as labelled fields in a grid.
struct FormLayout
{
    QStringList headings;  // column headings of the grid ("", "接收", "转出", "在做")
    struct Line
    {
        QString label;     // "唧蜡"
        QStringList fields; // column or computed names, one per heading after the first; "" for an empty cell
    };
    QVector<Line> lines;
    QStringList headFields;  // fields shown above the grid with their captions (the contract number)
    QStringList extraFields; // fields shown below the grid with their captions (remark, bz)
};

struct PageSetup
{
    bool landscape = false;
    QString paper = QStringLiteral("A4");
    bool declared = false; // the definition names its page (a composite's then leads its parts)

    // The same sheet: paper and orientation (whether declared or not).
    bool samePaper(const PageSetup &other) const
    {
        return landscape == other.landscape && paper.trimmed().compare(other.paper.trimmed(), Qt::CaseInsensitive) == 0;
    }
};

// A background for the detail rows that meet a condition: the rows whose
// field `when` (a column or computed field) holds a number other than 0 are
// filled with `color` ("#ffc7ce") on screen, on paper and in workbooks, so
// that an exceeding row stands out in black and white print too.
//   "fill": {"when": "c_exceeds", "color": "#ffc7ce"}
struct RowFill
{
    QString when;
    QString color;
    bool isSet() const { return !when.isEmpty(); }
};

struct Definition
{
    QString name;          // lower case, d_...
    QString sourceFile;    // file it was loaded from (messages)
    LayoutKind layout = LayoutKind::Tabular;
    QString query;         // SQL with :argument placeholders; empty for composites
    QVector<Argument> arguments;
    QVector<Column> columns;
    QStringList sort;      // "column" or "column D": applied to the rows after retrieval; empty: database order
    RowFill fill;          // detail rows filled where a field is true; none when not set
    QVector<TextObject> texts;
    QVector<ComputedField> computed;
    QVector<Group> groups;
    std::optional<Crosstab> crosstab;
    QVector<Nested> nested;
    FormLayout form;
    PageSetup page;
    QString updateTable;   // table a form writes back to (empty: read-only)
    QStringList keyColumns; // key of updateTable

    int columnIndex(const QString &name) const;         // -1 when none; any case
    const ComputedField *computedField(const QString &name) const;
    const TextObject *textObject(const QString &name) const;
    int argumentIndex(const QString &name) const;
};

class ReportData;
// The fill colour of a detail row of a report ("#ffc7ce"), or empty where its
// definition's fill does not apply to the row (or it has none).
QString rowFillColor(const ReportData &data, int row);

} // namespace wip::reports
