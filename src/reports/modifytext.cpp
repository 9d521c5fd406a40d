#include "reports/modifytext.h"

#include "reports/expression.h"

namespace wip::reports {

namespace {

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'$' || c == u'#';
}

// Reads a dotted name ("t_head.text", "t_head.font.face") starting at pos.
// Stops at a blank, '=' or the end. Returns the index after it.
int readDottedName(const QString &text, int pos)
{
    while (pos < text.size() && (isNameChar(text.at(pos)) || text.at(pos) == u'.'))
        ++pos;
    return pos;
}

} // namespace

ModifyText ModifyText::parse(const QString &text)
{
    ModifyText result;
    auto fail = [&result](int index, const QString &message) {
        result.m_assignments.clear();
        result.m_errorPosition = index + 1;
        result.m_error = QStringLiteral("%1 at position %2").arg(message).arg(index + 1);
        return result;
    };

    const int n = int(text.size());
    int pos = 0;
    while (true) {
        while (pos < n && text.at(pos).isSpace())
            ++pos;
        if (pos >= n)
            break;

        const int start = pos;
        const int nameEnd = readDottedName(text, pos);
        if (nameEnd == start)
            return fail(pos, QStringLiteral("Unexpected character '%1'").arg(text.at(pos)));
        const QString dotted = text.mid(start, nameEnd - start);
        const qsizetype dot = dotted.indexOf(u'.');
        if (dot < 0)
            return fail(nameEnd, QStringLiteral("Missing '.' between object and attribute"));
        if (dot == 0)
            return fail(start, QStringLiteral("Empty object name"));
        const QString attribute = dotted.mid(dot + 1);
        if (attribute.isEmpty() || attribute.startsWith(u'.') || attribute.endsWith(u'.')
            || attribute.contains(QStringLiteral("..")))
            return fail(start + int(dot) + 1, QStringLiteral("Empty attribute name"));

        pos = nameEnd;
        while (pos < n && text.at(pos).isSpace())
            ++pos;
        if (pos >= n || text.at(pos) != u'=')
            return fail(pos, QStringLiteral("Missing '=' after %1").arg(dotted));
        ++pos;
        while (pos < n && text.at(pos).isSpace())
            ++pos;
        if (pos >= n)
            return fail(pos, QStringLiteral("Missing value after '='"));

        Assignment assignment;
        assignment.object = dotted.left(dot).toLower();
        assignment.attribute = attribute.toLower();
        assignment.position = start + 1;
        const QChar c = text.at(pos);
        if (c == u'\'' || c == u'"') {
            const int end = readQuotedString(text, pos, &assignment.value);
            if (end < 0)
                return fail(pos, QStringLiteral("Unterminated quote"));
            assignment.quoted = true;
            pos = end;
            // The next assignment must be separated by a blank.
            if (pos < n && !text.at(pos).isSpace())
                return fail(pos, QStringLiteral("Expecting a blank after the quoted value"));
        } else {
            const int valueStart = pos;
            while (pos < n && !text.at(pos).isSpace()) {
                if (text.at(pos) == u'\'' || text.at(pos) == u'"')
                    return fail(pos, QStringLiteral("Quote inside an unquoted value"));
                if (text.at(pos) == u'=')
                    return fail(pos, QStringLiteral("Unexpected '=' in an unquoted value"));
                ++pos;
            }
            assignment.value = text.mid(valueStart, pos - valueStart);
        }
        result.m_assignments.append(assignment);
    }
    return result;
}

} // namespace wip::reports
