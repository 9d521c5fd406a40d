#pragma once

#include <QtGlobal>

class QWidget;

namespace wip {

// Handles of windows and controls, for Handle() and Send(): a number per widget,
// given on the first Handle() and forgotten when the widget is deleted. A handle
// never reaches a deleted widget, nor one that took a dead widget's address.
class WidgetHandles
{
public:
    static qint64 handle(QWidget *widget);       // throws HostError(ErrNullObject) for nullptr
    static QWidget *widget(qint64 handle);       // nullptr when unknown or deleted
};

// Host message numbers that Send() understands.
namespace HostMessage {
inline constexpr int KeyDown = 256;
inline constexpr int KeyUp = 257;
} // namespace HostMessage

qint64 Handle(QWidget *widget);

// Send(handle, 256, key, 0): delivers a key press of that host key code to the
// widget at once, as if it came from the keyboard (Send(Handle(dw), 256, 9, 9)
// moves the focus on as Tab does); 257 delivers the release. The key is not
// recorded as down for KeyDown(). Returns 0, or -1 for an unknown handle, message
// or key.
qint64 Send(qint64 handle, int message, qint64 wordParm, qint64 longParm);

} // namespace wip
