#pragma once

#include <QString>
#include <QVector>

namespace wip::reports {

// The parsed form of a Modify text: the assignments it makes to objects of a
// report, such as
//
//   t_head.text='04-执模WIP报表'
//   t_title.text='a' t_time.text="b"       (several, separated by blanks)
//   t_total.visible=0   t_total.color='255'
//   t_head.font.face='Arial'               (attribute "font.face")
//
// Values are quoted with ' or " (with ~ escapes: ~' ~" ~~ ~n ~t ~r) or are
// unquoted words ending at the next blank. Object and attribute names are kept in
// lower case. A malformed text gives no assignments and an error naming the
// 1-based position: unterminated quote, missing '=', missing '.', empty object
// or attribute name, or a value missing after '='. The DataStore's Modify
// applies the assignments only when the whole text parses.
class ModifyText
{
public:
    struct Assignment
    {
        QString object;     // "t_head"
        QString attribute;  // "text"
        QString value;      // unquoted, escapes resolved
        bool quoted = false; // the value was written in quotes
        int position = 0;   // 1-based position of the object name in the text
    };

    static ModifyText parse(const QString &text);

    bool isValid() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }        // "" when valid
    int errorPosition() const { return m_errorPosition; } // 1-based, 0 when valid
    const QVector<Assignment> &assignments() const { return m_assignments; }

private:
    QVector<Assignment> m_assignments;
    QString m_error;
    int m_errorPosition = 0;
};

} // namespace wip::reports
