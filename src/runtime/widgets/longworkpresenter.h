#pragma once

#include "runtime/longwork.h"

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QProgressDialog;

namespace wip {

// Long work as the desktop application shows it: a busy cursor at once; after
// a second a progress box over the active window with the work's name, how far
// it got (a moving bar when the total is not known) and Cancel, and from then
// on the windows repainted. Clicks, Escape and closing a window made while the
// work runs are dropped, except in the progress box: a click on 返回 during a
// long retrieval must not close the window once the rows are there. Other keys
// wait and reach their field when the work is done, in the order typed: a
// scanner at a desk types its codes whenever the clerk scans.
class LongWorkPresenter : public QObject, public LongWork::Presenter
{
public:
    LongWorkPresenter();
    ~LongWorkPresenter() override;

    void begin(const QString &what) override;
    bool update(const QString &what, qint64 done, qint64 total) override;
    void end() override;

    // How long the work runs before the box shows (tests shorten it).
    void setBoxDelay(int milliseconds) { m_boxDelay = milliseconds; }
    QProgressDialog *box() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct HeldKey
    {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    QElapsedTimer m_clock;
    std::vector<HeldKey> m_heldKeys;
    std::unique_ptr<QProgressDialog> m_box;
    bool m_running = false;
    int m_boxDelay = 1000;
};

} // namespace wip
