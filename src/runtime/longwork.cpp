#include "runtime/longwork.h"

#include <QElapsedTimer>
#include <QThread>
#include <QCoreApplication>

namespace wip {

namespace {

struct LongWorkState
{
    LongWork::Presenter *presenter = nullptr;
    int depth = 0;
    bool cancelled = false;
    QString what;
    QElapsedTimer sinceUpdate;
};

LongWorkState &longWorkState()
{
    static LongWorkState s;
    return s;
}

// Only work on the application's own thread is shown (a worker thread's is not).
bool onMainThread()
{
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

qint64 g_updateEveryMs = 40;

} // namespace

LongWork::LongWork(const QString &what)
{
    if (!onMainThread())
        return;
    LongWorkState &s = longWorkState();
    if (s.depth++ > 0)
        return;
    s.cancelled = false;
    s.what = what;
    s.sinceUpdate.start();
    if (s.presenter)
        s.presenter->begin(what);
}

LongWork::~LongWork()
{
    if (!onMainThread())
        return;
    LongWorkState &s = longWorkState();
    if (s.depth == 0)
        return;
    // Work started while the presenter ends this one joins it.
    if (s.depth == 1 && s.presenter)
        s.presenter->end();
    if (--s.depth == 0)
        s.cancelled = false;
}

bool LongWork::progress(qint64 done, qint64 total)
{
    if (!onMainThread())
        return true;
    LongWorkState &s = longWorkState();
    if (s.depth == 0)
        return true;
    if (s.cancelled)
        return false;
    if (s.presenter && s.sinceUpdate.elapsed() >= g_updateEveryMs) {
        s.sinceUpdate.restart();
        if (!s.presenter->update(s.what, done, total))
            s.cancelled = true;
    }
    return !s.cancelled;
}

bool LongWork::cancelled()
{
    return onMainThread() && longWorkState().depth > 0 && longWorkState().cancelled;
}

bool LongWork::running()
{
    return onMainThread() && longWorkState().depth > 0;
}

void LongWork::setPresenter(Presenter *presenter)
{
    longWorkState().presenter = presenter;
}

void LongWork::setUpdateInterval(int milliseconds)
{
    g_updateEveryMs = milliseconds;
}

} // namespace wip
