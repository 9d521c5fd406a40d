#pragma once

#include <QObject>

#include <functional>
#include <vector>

class QKeyEvent;

namespace wip {

// Key codes of the host's key events and of KeyDown(): the codes of the
// keyboard's virtual keys, not Qt's key values.
namespace HostKey {
inline constexpr int Backspace = 8;
inline constexpr int Tab = 9;
inline constexpr int Enter = 13;
inline constexpr int Shift = 16;
inline constexpr int Control = 17;
inline constexpr int Alt = 18;
inline constexpr int Escape = 27;
inline constexpr int Space = 32;
inline constexpr int PageUp = 33;
inline constexpr int PageDown = 34;
inline constexpr int End = 35;
inline constexpr int Home = 36;
inline constexpr int LeftArrow = 37;
inline constexpr int UpArrow = 38;
inline constexpr int RightArrow = 39;
inline constexpr int DownArrow = 40;
inline constexpr int Insert = 45;
inline constexpr int Delete = 46;
} // namespace HostKey

// The keyflags argument of a key event: Shift and Ctrl held, added together.
namespace KeyFlags {
inline constexpr int None = 0;
inline constexpr int Shift = 1;
inline constexpr int Ctrl = 2;
} // namespace KeyFlags

// Tracks which keys are down, for KeyDown(), and runs the key events of windows
// and controls. One application-wide event filter records every key press and
// release (real ones; keys delivered by Send() leave it alone, as a posted key
// message leaves the keyboard state alone). The state is cleared when the
// application loses the keyboard, so a release that went elsewhere cannot leave
// a key stuck down.
class Keyboard : public QObject
{
    Q_OBJECT
public:
    static void install();                       // idempotent; needs the QApplication
    static bool isDown(int hostCode);

    static int hostCode(int qtKey);              // 0 for keys without a host code
    static int qtKey(int hostCode);              // Qt::Key_unknown when there is none
    static int keyFlags(Qt::KeyboardModifiers modifiers);

    // Runs a key event: `emitKey(hostCode, keyflags)` emits the control's key
    // signal (whose handlers run through the dispatcher). Returns true when a
    // handler called consumeKey(): the control must then not process the key.
    static bool runKeyEvent(QKeyEvent *event, const std::function<void(int, int)> &emitKey);

    // Called by a key handler: the key it is handling goes no further (the
    // control does not type it, the window does not see it).
    static void consumeKey();

    // While alive, key events sent to widgets are not recorded as keys down.
    class SyntheticScope
    {
    public:
        SyntheticScope();
        ~SyntheticScope();
        SyntheticScope(const SyntheticScope &) = delete;
        SyntheticScope &operator=(const SyntheticScope &) = delete;
    };

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit Keyboard(QObject *parent);
};

// True while the key with that host code is down.
bool KeyDown(int hostCode);

} // namespace wip
