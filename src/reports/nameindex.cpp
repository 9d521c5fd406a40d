#include "reports/nameindex.h"

namespace wip::reports {

void NameIndex::clear()
{
    m_names.clear();
    m_recent = {};
}

void NameIndex::insert(const QString &name, int index)
{
    m_names.insert(name.toLower(), index);
}

// A name not among the recent look-ups: found by its hash and remembered.
std::optional<int> NameIndex::remember(const QString &name) const
{
    auto it = m_names.constFind(name);
    if (it == m_names.constEnd())
        it = m_names.constFind(name.trimmed().toLower());
    const std::optional<int> index = it == m_names.constEnd() ? std::nullopt : std::optional<int>(*it);
    m_recent[m_nextRecent] = {name, index};
    m_nextRecent = (m_nextRecent + 1) % m_recent.size();
    return index;
}

} // namespace wip::reports
