#include "runtime/widgets/keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QSet>

namespace wip {

namespace {

struct KeyboardState
{
    Keyboard *filter = nullptr;
    QSet<int> down;                       // host codes of the keys down
    std::vector<bool> consumed;           // one entry per key event being run
    int synthetic = 0;                    // depth of SyntheticScope
};

KeyboardState &keyboardState()
{
    static KeyboardState s;
    return s;
}

struct KeyPair
{
    int qt;
    int host;
};

constexpr KeyPair keyTable[] = {
    {Qt::Key_Backspace, 8}, {Qt::Key_Tab, 9},        {Qt::Key_Backtab, 9},
    {Qt::Key_Return, 13},   {Qt::Key_Enter, 13},     {Qt::Key_Shift, 16},
    {Qt::Key_Control, 17},  {Qt::Key_Alt, 18},       {Qt::Key_Pause, 19},
    {Qt::Key_CapsLock, 20}, {Qt::Key_Escape, 27},    {Qt::Key_Space, 32},
    {Qt::Key_PageUp, 33},   {Qt::Key_PageDown, 34},  {Qt::Key_End, 35},
    {Qt::Key_Home, 36},     {Qt::Key_Left, 37},      {Qt::Key_Up, 38},
    {Qt::Key_Right, 39},    {Qt::Key_Down, 40},      {Qt::Key_Insert, 45},
    {Qt::Key_Delete, 46},
};

} // namespace

Keyboard::Keyboard(QObject *parent)
    : QObject(parent)
{
}

void Keyboard::install()
{
    KeyboardState &s = keyboardState();
    if (s.filter || !qApp)
        return;
    s.filter = new Keyboard(qApp);
    qApp->installEventFilter(s.filter);
}

bool Keyboard::isDown(int hostCode)
{
    return hostCode != 0 && keyboardState().down.contains(hostCode);
}

int Keyboard::hostCode(int qtKey)
{
    for (const KeyPair &k : keyTable)
        if (k.qt == qtKey)
            return k.host;
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return 48 + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)
        return 65 + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12)
        return 112 + (qtKey - Qt::Key_F1);
    return 0;
}

int Keyboard::qtKey(int hostCode)
{
    for (const KeyPair &k : keyTable)
        if (k.host == hostCode)
            return k.qt;                  // the first pair wins: 9 is Tab, 13 is Return
    if (hostCode >= 48 && hostCode <= 57)
        return Qt::Key_0 + (hostCode - 48);
    if (hostCode >= 65 && hostCode <= 90)
        return Qt::Key_A + (hostCode - 65);
    if (hostCode >= 112 && hostCode <= 123)
        return Qt::Key_F1 + (hostCode - 112);
    return Qt::Key_unknown;
}

int Keyboard::keyFlags(Qt::KeyboardModifiers modifiers)
{
    int flags = KeyFlags::None;
    if (modifiers & Qt::ShiftModifier)
        flags += KeyFlags::Shift;
    if (modifiers & Qt::ControlModifier)
        flags += KeyFlags::Ctrl;
    return flags;
}

bool Keyboard::runKeyEvent(QKeyEvent *event, const std::function<void(int, int)> &emitKey)
{
    KeyboardState &s = keyboardState();
    s.consumed.push_back(false);
    emitKey(hostCode(event->key()), keyFlags(event->modifiers()));
    const bool consumed = s.consumed.back();
    s.consumed.pop_back();
    if (consumed)
        event->accept();
    return consumed;
}

void Keyboard::consumeKey()
{
    KeyboardState &s = keyboardState();
    if (!s.consumed.empty())
        s.consumed.back() = true;
}

Keyboard::SyntheticScope::SyntheticScope()
{
    ++keyboardState().synthetic;
}

Keyboard::SyntheticScope::~SyntheticScope()
{
    --keyboardState().synthetic;
}

bool Keyboard::eventFilter(QObject *watched, QEvent *event)
{
    KeyboardState &s = keyboardState();
    switch (event->type()) {
    case QEvent::KeyPress: {
        if (s.synthetic > 0)
            break;
        auto *key = static_cast<QKeyEvent *>(event);
        const int code = hostCode(key->key());
        if (code != 0)
            s.down.insert(code);
        // The modifiers of a key event are the truth about Shift, Ctrl and Alt;
        // the press of a modifier itself may not carry its own flag yet.
        if (code != HostKey::Shift && code != HostKey::Control && code != HostKey::Alt) {
            const Qt::KeyboardModifiers m = key->modifiers();
            (m & Qt::ShiftModifier) ? void(s.down.insert(HostKey::Shift)) : void(s.down.remove(HostKey::Shift));
            (m & Qt::ControlModifier) ? void(s.down.insert(HostKey::Control)) : void(s.down.remove(HostKey::Control));
            (m & Qt::AltModifier) ? void(s.down.insert(HostKey::Alt)) : void(s.down.remove(HostKey::Alt));
        }
        break;
    }
    case QEvent::KeyRelease: {
        if (s.synthetic > 0)
            break;
        auto *key = static_cast<QKeyEvent *>(event);
        if (!key->isAutoRepeat())
            s.down.remove(hostCode(key->key()));
        break;
    }
    case QEvent::ApplicationDeactivate:
        s.down.clear();
        break;
    case QEvent::ApplicationStateChange:
        if (QGuiApplication::applicationState() != Qt::ApplicationActive)
            s.down.clear();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool KeyDown(int hostCode)
{
    return Keyboard::isDown(hostCode);
}

} // namespace wip
