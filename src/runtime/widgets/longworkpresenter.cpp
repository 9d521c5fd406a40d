#include "runtime/widgets/longworkpresenter.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QProgressDialog>

namespace wip {

LongWorkPresenter::LongWorkPresenter() = default;

LongWorkPresenter::~LongWorkPresenter()
{
    if (m_running)
        end();
}

QProgressDialog *LongWorkPresenter::box() const
{
    return m_box.get();
}

void LongWorkPresenter::begin(const QString &what)
{
    Q_UNUSED(what);
    m_running = true;
    m_clock.start();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    qApp->installEventFilter(this);
}

bool LongWorkPresenter::update(const QString &what, qint64 done, qint64 total)
{
    // Work done within the second is not interrupted at all.
    if (!m_box && m_clock.elapsed() < m_boxDelay)
        return true;
    if (!m_box) {
        m_box = std::make_unique<QProgressDialog>(what, QStringLiteral("取消 Cancel"), 0, 0, QApplication::activeWindow());
        m_box->setWindowTitle(QStringLiteral("请稍候 Please wait"));
        m_box->setObjectName(QStringLiteral("long_work"));
        m_box->setWindowModality(Qt::ApplicationModal);
        m_box->setAutoClose(false);
        m_box->setAutoReset(false);
        m_box->setMinimumDuration(0);
        m_box->setMinimumWidth(360);
        m_box->show();
    }
    if (m_box) {
        m_box->setLabelText(what);
        // Past the total (a count that was an estimate) the bar keeps moving.
        const bool known = total > 0 && done <= total;
        m_box->setMaximum(known ? 1000 : 0);
        m_box->setValue(known ? int(done * 1000 / total) : 0);
        if (!known)
            m_box->setLabelText(done > 0 ? QStringLiteral("%1\n%2").arg(what).arg(done) : what);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return !(m_box && m_box->wasCanceled());
}

void LongWorkPresenter::end()
{
    if (!m_running)
        return;
    // What was clicked while the work ran is dropped now, the keys held.
    if (m_clock.elapsed() >= 100)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    m_running = false;
    qApp->removeEventFilter(this);
    m_box.reset();
    QApplication::restoreOverrideCursor();
    // The keys typed meanwhile, now, in their order.
    std::vector<HeldKey> keys = std::move(m_heldKeys);
    m_heldKeys.clear();
    for (HeldKey &key : keys) {
        if (key.receiver)
            QCoreApplication::postEvent(key.receiver, key.event.release());
    }
}

bool LongWorkPresenter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::Close:
        break;
    default:
        return false;
    }
    // What happens in the progress box (its Cancel) goes through.
    for (QObject *o = watched; o; o = o->parent()) {
        if (m_box && o == m_box.get())
            return false;
    }
    if (event->type() == QEvent::Close) {
        event->ignore();
        return true;
    }
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        if (!watched->isWidgetType())
            return false;   // the window hands it to its field, where it is held
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Escape && watched->isWidgetType())
            m_heldKeys.push_back({watched, std::unique_ptr<QEvent>(key->clone())});
    }
    return true;
}

} // namespace wip
