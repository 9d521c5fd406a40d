#include "import/importkinds.h"

#include <vector>

namespace wip::import {

namespace {

std::vector<std::unique_ptr<ImportKind>> &kinds()
{
    static std::vector<std::unique_ptr<ImportKind>> list;
    return list;
}

} // namespace

void ImportKinds::add(std::unique_ptr<ImportKind> kind)
{
    for (auto &k : kinds()) {
        if (k->name() == kind->name()) {
            k = std::move(kind);
            return;
        }
    }
    kinds().push_back(std::move(kind));
}

ImportKind *ImportKinds::find(const QString &name)
{
    for (const auto &k : kinds()) {
        if (k->name().compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return k.get();
    }
    return nullptr;
}

QList<ImportKind *> ImportKinds::all()
{
    QList<ImportKind *> list;
    for (const auto &k : kinds())
        list << k.get();
    return list;
}

QStringList ImportKinds::names()
{
    QStringList list;
    for (const auto &k : kinds())
        list << k->name();
    return list;
}

} // namespace wip::import
