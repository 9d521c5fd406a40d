#pragma once

#include <QString>

namespace wip {

// Work that may take a while, done where the person who asked for it waits: a
// retrieval of a month, an export, a printed report, the day's recomputation.
// It is marked by a LongWork object for as long as it runs, and tells how far
// it got with progress(), which also says whether the person cancelled it.
//
// What the person sees is the Presenter's business: none on the command line,
// where nobody can cancel; in the desktop application a busy cursor at once,
// after a second a progress box with Cancel, the windows kept painted, and
// clicks and keys meant for anything but that box dropped (LongWorkPresenter).
// Work inside other work joins it: one cursor, one box, one Cancel.
//
//     LongWork work(QStringLiteral("正在读取 Reading..."));
//     while (more) {
//         ...
//         if (!LongWork::progress(done, total))
//             return cancelled();   // leave what was there as it was
//     }
class LongWork
{
public:
    explicit LongWork(const QString &what);
    ~LongWork();
    LongWork(const LongWork &) = delete;
    LongWork &operator=(const LongWork &) = delete;

    // done of total steps (total 0: not known). False once the person asked to
    // stop; it stays false until the outermost LongWork ends. Cheap enough to
    // call for every row: the presenter is asked a few times a second at most.
    static bool progress(qint64 done, qint64 total = 0);
    static bool cancelled();
    static bool running();

    class Presenter
    {
    public:
        virtual ~Presenter() = default;
        virtual void begin(const QString &what) = 0;
        // false: cancelled.
        virtual bool update(const QString &what, qint64 done, qint64 total) = 0;
        virtual void end() = 0;
    };
    // The application's presenter (not owned); nullptr: none.
    static void setPresenter(Presenter *presenter);
    // How often progress() asks the presenter at most (tests ask at every call: 0).
    static void setUpdateInterval(int milliseconds);
};

} // namespace wip
