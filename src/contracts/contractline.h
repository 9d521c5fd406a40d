#pragma once

#include <QList>
#include <QMap>
#include <QString>

namespace wip {

// One field of a contract line (a column of scond) as the clerk types it.
struct LineField
{
    enum class Kind {
        Text,       // free text
        Article,    // an article code of the styles (table article)
        Metal,      // a metal code (table material, GOLD or PT)
        Pieces,     // a whole number above zero
        Weight,     // a number >= 0 of at most three decimals (grams), or empty
        Money,      // a number >= 0 of at most three decimals, or empty
    };
    QString column;     // scond.<column>
    QString caption;    // as the form and the messages name it: "数量"
    Kind kind = Kind::Text;
    int maxLength = 0;  // characters a text may have (0: any)
    bool required = false;

    // The fields of a line, in the order the form shows them.
    static const QList<LineField> &all();
    static const LineField *find(const QString &column);   // nullptr when not a line field
};

// A line of a contract as the sales-contract forms hold it until it is saved:
// the texts of its fields, and what the database holds for it.
//
//   state     scondId  lineNo   saved as
//   New          0        0     INSERT, numbered then (LineNumbers)
//   Stored      id        n     nothing
//   Changed     id        n     UPDATE of the fields that differ from `stored`
//   Deleted     id        n     DELETE
struct ContractLine
{
    enum class State { New, Stored, Changed, Deleted };

    State state = State::New;
    long long scondId = 0;
    int lineNo = 0;
    QMap<QString, QString> texts;    // column -> text as typed (trimmed when saved)
    QMap<QString, QString> stored;   // column -> text as read (Stored, Changed, Deleted)

    QString text(const QString &column) const { return texts.value(column); }
    // Sets a field; a stored line whose texts now differ from what it holds is
    // Changed, and Stored again when they are the same.
    void setText(const QString &column, const QString &text);
    // The fields whose text differs from the stored one (every field of a new line).
    QStringList changedColumns() const;
    bool isNew() const { return state == State::New; }

    // How the messages name it: "第 3 行" by its number, a new line by its place
    // among the new lines of the form, "新增第 1 行".
    QString name(int newIndex) const;
};

} // namespace wip
