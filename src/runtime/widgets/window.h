#pragma once

#include "runtime/hosterror.h"
#include "runtime/widgets/windowmessage.h"

#include <QByteArray>
#include <QDialog>
#include <QIcon>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QPushButton;
class QScreen;

namespace wip {

class CommandButton;

// A window of the application. A subclass builds its controls in create() and
// does its opening work in open(); the runtime calls create() once, before the
// window is first shown, and open() once, through a queued call after it is
// shown. Both run through the dispatcher; when create() fails, open() does not
// run. Close() closes the window, which is then deleted.
//
// Keys: Enter anywhere in the window clicks the default button (a CommandButton
// with setDefault(true)); Esc clicks the cancel button (setCancel(true)). A
// control that handles Enter itself (a multi-line edit, a report control that
// accepts the key event) keeps it. Before that, the window's key(key, keyflags)
// signal runs for every key that reaches the window; a handler that calls
// Keyboard::consumeKey() stops the default and cancel buttons.
//
// The runtime keeps the latest open instance of each window class: the global
// window variables of the application (Window::latest("w_scno_process")). Window
// classes are registered by name (registerClass) so that windows open each other
// without including each other: Window::Open("w_scno_process_search").
//
// Register classes from a function the application calls at start-up, not from
// a static initialiser: the linker drops unreferenced objects of static libraries.
//
// When first shown, a window takes the icon of its class (setClassIcon) unless it
// set one itself, orders its Tab chain as it reads (TabOrder), and, when the
// application keeps window places (setGeometryStore), comes back where the user
// left it instead of centred; its place is kept again when it closes. Otherwise it
// opens as wide as its controls ask (a report control asks for its report's
// width), within the screen. Either way a report wider than the window widens it
// once when it comes (fitToContents).
//
// Before a window closes, however it is closed (its close button, Close(), Esc, or
// the application quitting), its closequery runs: a window that holds work not yet
// saved asks there and answers false to stay open. CloseAll() asks every open
// window first and closes them only when none wants to stay, so that Cancel at
// any question keeps every window as it was.
//
// Note: create() hides QWidget::create(WId, ...) and open() overrides
// QDialog::open(); a Window is never opened window-modal through QDialog::open().
class Window : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(QString windowClassName READ windowClassName)
public:
    explicit Window(QWidget *parent = nullptr);
    ~Window() override;

    // Registry key: the class name without namespace (or the name it was opened by).
    QString windowClassName() const;
    void setWindowClassName(const QString &name);

    QString title() const { return windowTitle(); }
    void setTitle(const QString &title) { setWindowTitle(title); }
    bool centered() const { return m_centered; }
    void setCentered(bool centered) { m_centered = centered; }

    const WindowMessage &message() const { return m_message; }

    // Close on the window: closes it; it is deleted afterwards. Returns 1.
    int Close();
    bool isClosed() const { return m_closed; }

    // The window's closequery: whether it may close now. The default agrees; a
    // window with unsaved work asks the clerk (and saves or drops it) here.
    virtual bool closeQuery();

    // Closes every open window, after asking each one's closequery in turn: the
    // first that answers false stops it, is brought to the front, and every
    // window stays open. True when all of them closed (or none was open).
    static bool CloseAll();
    // The windows shown now and not closed, in no particular order.
    static QList<Window *> openWindows();

    // A control of this window by name; throws HostError(ErrNullObject) when
    // there is none of that name and type.
    template <class T>
    T &control(const QString &name) const
    {
        T *c = findChild<T *>(name);
        if (!c)
            throw HostError(ErrNullObject, windowClassName() + QLatin1Char('.') + name);
        return *c;
    }

    // Widens a shown window so that its controls get the width they ask for (a
    // report control asks for its report's whole width), within the screen, when
    // a control asks for more than the window was fitted to; never narrows it.
    // Windows open fitted the same way and no taller than the screen.
    void fitToContents();

    QPushButton *defaultButton() const;
    CommandButton *cancelButton() const;

    // --- registry of the latest instances ---
    static Window *findLatest(const QString &className);  // nullptr when none is open
    static Window &latest(const QString &className);      // throws HostError(ErrNullObject)
    template <class W>
    static W &latest()
    {
        const QString name = classNameOf(W::staticMetaObject);
        W *w = qobject_cast<W *>(findLatest(name));
        if (!w)
            throw HostError(ErrNullObject, name);
        return *w;
    }

    // --- window classes by name ---
    using Factory = std::function<Window *()>;
    static void registerClass(const QString &className, Factory factory);
    template <class W>
    static void registerClass(const QString &className)
    {
        registerClass(className, [] { return new W; });
    }
    static bool isRegistered(const QString &className);
    static QStringList registeredClasses();              // as registered, sorted

    // The icon of the windows of a class, for their title bar.
    static void setClassIcon(const QString &className, const QIcon &icon);
    static QIcon classIcon(const QString &className);    // null when none was given

    // Where windows keep their size and position between runs, by class name.
    // Empty (the default, and in tests): windows open at their own size, centred.
    struct GeometryStore
    {
        std::function<QByteArray(const QString &className)> load;
        std::function<void(const QString &className, const QByteArray &geometry)> save;
    };
    static void setGeometryStore(GeometryStore store);

    // Open: creates and shows a window of that class, modeless, and returns it.
    // When an instance of the class is open already it is brought to the front
    // instead and returned (its open() does not run again). Throws
    // HostError(ErrNullObject, name) for a class nobody registered.
    static Window *Open(const QString &className);
    // OpenWithParm: as Open, with message().powerObjectParm = parm. When the
    // window is open already it gets the new parameter and its open() runs again,
    // so it shows what it was asked for now rather than what it was asked before.
    static Window *OpenWithParm(const QString &className, const QVariant &parm);
    // Shows a window made by the caller (tests, the application's first window).
    static Window *Open(Window *window, const QVariant &parm = QVariant());

    static QString classNameOf(const QMetaObject &meta);

    void setVisible(bool visible) override;
    void open() override;            // the window's open event; default does nothing

Q_SIGNALS:
    void key(int key, int keyflags);

protected:
    virtual void create();           // the window's create event: build the controls

    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void runOpen();
    void ensureCreated();
    void unregister();
    void centre();
    void placeOnFirstShow();
    void fitToScreen();
    QScreen *screenOfWindow() const;
    QSize room(const QRect &area) const;

    QString m_className;
    QString m_registeredKey;
    WindowMessage m_message;
    bool m_created = false;
    bool m_shownOnce = false;
    bool m_closed = false;
    bool m_closeAgreed = false;      // its closequery agreed for CloseAll
    bool m_openRan = false;
    bool m_createFailed = false;
    bool m_centered = true;
    int m_fittedWidth = 0;           // the width the controls asked for when last fitted
};

// The host's window functions, for handlers.
inline Window *Open(const QString &className) { return Window::Open(className); }
inline Window *OpenWithParm(const QString &className, const QVariant &parm)
{
    return Window::OpenWithParm(className, parm);
}
int Close(Window *window);          // throws HostError(ErrNullObject) for nullptr

} // namespace wip
