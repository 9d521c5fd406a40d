#include "runtime/widgets/widgethandles.h"

#include "runtime/hosterror.h"
#include "runtime/widgets/keyboard.h"

#include <QCoreApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace wip {

namespace {

constexpr char handleProperty[] = "wipHandle";

struct Handles
{
    qint64 next = 0;
    QHash<qint64, QPointer<QWidget>> widgets;
};

Handles &handles()
{
    static Handles h;
    return h;
}

} // namespace

qint64 WidgetHandles::handle(QWidget *widget)
{
    if (!widget)
        throw HostError(ErrNullObject, QStringLiteral("Handle"));
    const QVariant known = widget->property(handleProperty);
    if (known.isValid())
        return known.toLongLong();
    Handles &h = handles();
    const qint64 id = ++h.next;
    h.widgets.insert(id, widget);
    widget->setProperty(handleProperty, id);
    return id;
}

QWidget *WidgetHandles::widget(qint64 handle)
{
    Handles &h = handles();
    auto it = h.widgets.find(handle);
    if (it == h.widgets.end())
        return nullptr;
    if (it.value().isNull()) {
        h.widgets.erase(it);
        return nullptr;
    }
    return it.value().data();
}

qint64 Handle(QWidget *widget)
{
    return WidgetHandles::handle(widget);
}

qint64 Send(qint64 handle, int message, qint64 wordParm, qint64 longParm)
{
    Q_UNUSED(longParm);
    QWidget *w = WidgetHandles::widget(handle);
    if (!w)
        return -1;
    if (message != HostMessage::KeyDown && message != HostMessage::KeyUp)
        return -1;
    const int key = Keyboard::qtKey(int(wordParm));
    if (key == Qt::Key_unknown)
        return -1;
    const QEvent::Type type = message == HostMessage::KeyDown ? QEvent::KeyPress : QEvent::KeyRelease;
    const QString text = key == Qt::Key_Tab ? QStringLiteral("\t")
                       : key == Qt::Key_Return ? QStringLiteral("\r")
                       : QString();
    QKeyEvent event(type, key, Qt::NoModifier, text);
    Keyboard::SyntheticScope synthetic;
    QCoreApplication::sendEvent(w, &event);
    return 0;
}

} // namespace wip
