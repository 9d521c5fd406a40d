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

std::optional<int> NameIndex::lookup(const QString &name) const
{
    for (const Recent &r : m_recent) {
        if (r.name.constData() == name.constData() && r.name.size() == name.size() && !name.isNull())
            return r.index;
    }
    const std::optional<int> index = lookupByHash(name);
    m_recent[m_nextRecent] = {name, index};
    m_nextRecent = (m_nextRecent + 1) % m_recent.size();
    return index;
}

std::optional<int> NameIndex::lookupByHash(const QString &name) const
{
    auto it = m_names.constFind(name);
    if (it == m_names.constEnd()) {
        it = m_names.constFind(name.trimmed().toLower());
        if (it == m_names.constEnd())
            return std::nullopt;
    }
    return *it;
}

} // namespace wip::reports
