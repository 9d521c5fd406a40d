#pragma once

#include <QHash>
#include <QString>

#include <array>
#include <optional>

namespace wip::reports {

// The names a DataStore answers to - its columns and computed fields - each with
// an index: a column's index, or -(field index + 1) for a computed field. Names
// compare without regard to case or surrounding blanks. Expressions and loops ask
// for the same QString object again and again, so the last few look-ups are kept
// by the text's buffer and answered without hashing; each entry holds a reference,
// so the buffer cannot change while it is remembered.
class NameIndex
{
public:
    void clear();
    void insert(const QString &name, int index);
    // The index of a name; nullopt when unknown. Inline: it runs for every cell
    // an expression reads.
    std::optional<int> lookup(const QString &name) const
    {
        for (const Recent &r : m_recent) {
            if (r.name.constData() == name.constData() && r.name.size() == name.size() && !name.isNull())
                return r.index;
        }
        return remember(name);
    }

private:
    std::optional<int> remember(const QString &name) const;

    QHash<QString, int> m_names;   // lower case
    struct Recent
    {
        QString name;
        std::optional<int> index;
    };
    mutable std::array<Recent, 24> m_recent;   // a row of a wide report read cell by cell stays here
    mutable size_t m_nextRecent = 0;
};

} // namespace wip::reports
