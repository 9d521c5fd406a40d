#include "runtime/fileopener.h"

namespace wip {

namespace {

struct OpenerState
{
    FileOpener::Handler handler;
    bool scripted = false;
    QStringList opened;
};

OpenerState &state()
{
    static OpenerState s;
    return s;
}

} // namespace

bool FileOpener::open(const QString &localPath)
{
    OpenerState &s = state();
    s.opened << localPath;
    if (s.scripted)
        return true;
    return s.handler ? s.handler(localPath) : false;
}

void FileOpener::setHandler(Handler handler)
{
    state().handler = std::move(handler);
}

void FileOpener::setScripted(bool scripted)
{
    state().scripted = scripted;
}

bool FileOpener::isScripted()
{
    return state().scripted;
}

QStringList FileOpener::opened()
{
    return state().opened;
}

void FileOpener::clear()
{
    state().opened.clear();
}

} // namespace wip
