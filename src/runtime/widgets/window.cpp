#include "runtime/widgets/window.h"

#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/taborder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHash>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QScreen>

#include <utility>

namespace wip {

namespace {

struct Registry
{
    QHash<QString, QPointer<Window>> latest;     // key: lower-case class name
    QHash<QString, Window::Factory> factories;
    QHash<QString, QString> registeredNames;    // key: lower-case class name
    QHash<QString, QIcon> icons;
    Window::GeometryStore geometry;
};

Registry &registry()
{
    static Registry r;
    return r;
}

QString registryKey(const QString &className)
{
    return className.trimmed().toLower();
}

} // namespace

Window::Window(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    Keyboard::install();
}

Window::~Window()
{
    unregister();
}

QString Window::classNameOf(const QMetaObject &meta)
{
    QString name = QString::fromLatin1(meta.className());
    const int colon = name.lastIndexOf(QLatin1String("::"));
    return colon >= 0 ? name.mid(colon + 2) : name;
}

QString Window::windowClassName() const
{
    return m_className.isEmpty() ? classNameOf(*metaObject()) : m_className;
}

void Window::setWindowClassName(const QString &name)
{
    m_className = name;
}

int Window::Close()
{
    close();
    return 1;
}

bool Window::closeQuery()
{
    return true;
}

QList<Window *> Window::openWindows()
{
    QList<Window *> open;
    const auto topLevels = QApplication::topLevelWidgets();
    for (QWidget *w : topLevels) {
        auto *window = qobject_cast<Window *>(w);
        if (window && window->isVisible() && !window->m_closed)
            open.append(window);
    }
    return open;
}

bool Window::CloseAll()
{
    // Every question first, nothing closed yet: Cancel at any of them keeps all.
    const QList<Window *> open = openWindows();
    QList<QPointer<Window>> asked;
    for (Window *w : open) {
        if (!w->closeQuery()) {
            w->show();
            w->raise();
            w->activateWindow();
            return false;
        }
        asked.append(w);
        w->m_closeAgreed = true;   // not asked again as it closes
    }
    for (const QPointer<Window> &w : std::as_const(asked)) {
        if (w && !w->m_closed)
            w->close();
    }
    for (const QPointer<Window> &w : std::as_const(asked)) {
        if (w && !w->m_closed)
            return false;
    }
    return true;
}

QPushButton *Window::defaultButton() const
{
    const auto buttons = findChildren<QPushButton *>();
    for (QPushButton *b : buttons)
        if (b->window() == this && b->isDefault())
            return b;
    return nullptr;
}

CommandButton *Window::cancelButton() const
{
    const auto buttons = findChildren<CommandButton *>();
    for (CommandButton *b : buttons)
        if (b->window() == this && b->isCancel())
            return b;
    return nullptr;
}

Window *Window::findLatest(const QString &className)
{
    Window *w = registry().latest.value(registryKey(className));
    return (w && !w->m_closed) ? w : nullptr;
}

Window &Window::latest(const QString &className)
{
    Window *w = findLatest(className);
    if (!w)
        throw HostError(ErrNullObject, className);
    return *w;
}

void Window::registerClass(const QString &className, Factory factory)
{
    registry().factories.insert(registryKey(className), std::move(factory));
    registry().registeredNames.insert(registryKey(className), className.trimmed());
}

bool Window::isRegistered(const QString &className)
{
    return registry().factories.contains(registryKey(className));
}

QStringList Window::registeredClasses()
{
    QStringList names = registry().registeredNames.values();
    names.sort();
    return names;
}

void Window::setClassIcon(const QString &className, const QIcon &icon)
{
    registry().icons.insert(registryKey(className), icon);
}

QIcon Window::classIcon(const QString &className)
{
    return registry().icons.value(registryKey(className));
}

void Window::setGeometryStore(GeometryStore store)
{
    registry().geometry = std::move(store);
}

Window *Window::Open(const QString &className)
{
    if (Window *open = findLatest(className)) {
        open->show();
        open->raise();
        open->activateWindow();
        return open;
    }
    const Factory factory = registry().factories.value(registryKey(className));
    Window *w = factory ? factory() : nullptr;
    if (!w)
        throw HostError(ErrNullObject, className);
    if (w->windowClassName().compare(className.trimmed(), Qt::CaseInsensitive) != 0)
        w->setWindowClassName(className.trimmed());
    return Open(w);
}

Window *Window::OpenWithParm(const QString &className, const QVariant &parm)
{
    if (Window *open = findLatest(className)) {
        open->m_message = WindowMessage::fromParm(parm);
        open->show();
        open->raise();
        open->activateWindow();
        // Before its first open() has run, the queued one reads the new parameter.
        if (open->m_openRan && !open->m_createFailed)
            Dispatcher::run(open, "open", [open] { open->open(); });
        return open;
    }
    const Factory factory = registry().factories.value(registryKey(className));
    Window *w = factory ? factory() : nullptr;
    if (!w)
        throw HostError(ErrNullObject, className);
    if (w->windowClassName().compare(className.trimmed(), Qt::CaseInsensitive) != 0)
        w->setWindowClassName(className.trimmed());
    return Open(w, parm);
}

Window *Window::Open(Window *window, const QVariant &parm)
{
    if (!window)
        throw HostError(ErrNullObject, QStringLiteral("window"));
    window->m_message = WindowMessage::fromParm(parm);
    window->show();
    window->activateWindow();
    return window;
}

void Window::ensureCreated()
{
    if (m_created)
        return;
    m_created = true;
    m_createFailed = !Dispatcher::run(this, "create", [this] { create(); });
}

void Window::setVisible(bool visible)
{
    if (visible && !m_shownOnce) {
        ensureCreated();
        placeOnFirstShow();
    }
    QDialog::setVisible(visible);
    if (visible && !m_shownOnce) {
        m_shownOnce = true;
        m_registeredKey = registryKey(windowClassName());
        registry().latest.insert(m_registeredKey, this);
        QMetaObject::invokeMethod(this, &Window::runOpen, Qt::QueuedConnection);
    }
}

void Window::placeOnFirstShow()
{
    if (!testAttribute(Qt::WA_SetWindowIcon)) {
        const QIcon icon = classIcon(windowClassName());
        if (!icon.isNull())
            setWindowIcon(icon);
    }
    TabOrder::applyReadingOrder(this);
    const Window::GeometryStore &store = registry().geometry;
    const QByteArray kept = store.load ? store.load(windowClassName()) : QByteArray();
    // A kept place is where the clerk left the window; a report wider than that
    // still widens it once it comes (fitToContents), since m_fittedWidth is 0.
    if (!kept.isEmpty() && restoreGeometry(kept))
        return;
    fitToScreen();
    if (m_centered)
        centre();
}

QScreen *Window::screenOfWindow() const
{
    if (isVisible() && screen())
        return screen();
    return parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
}

// The room for the window itself on its screen: the available area less the
// frame the window system puts around it (guessed before the first showing).
QSize Window::room(const QRect &area) const
{
    QSize frame = (frameGeometry().size() - geometry().size()).expandedTo(QSize(0, 0));
    if (!m_shownOnce)
        frame = frame.expandedTo(QSize(16, 40));
    return area.size() - frame;
}

void Window::fitToScreen()
{
    QScreen *screen = screenOfWindow();
    if (!screen)
        return;
    const QSize fits = room(screen->availableGeometry());
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    const int wanted = sizeHint().width();
    m_fittedWidth = wanted;
    resize(std::min(std::max(width(), wanted), fits.width()), std::min(height(), fits.height()));
}

void Window::fitToContents()
{
    QScreen *screen = screenOfWindow();
    if (!screen || !isVisible() || isMaximized() || isFullScreen())
        return;
    if (QLayout *l = layout())
        l->activate();
    const int wanted = sizeHint().width();
    // Only a wider report than the window was fitted to: a window the clerk made
    // narrower stays so when the same report comes again.
    if (wanted <= m_fittedWidth || wanted <= width()) {
        m_fittedWidth = std::max(m_fittedWidth, wanted);
        return;
    }
    m_fittedWidth = wanted;
    const QRect area = screen->availableGeometry();
    const int w = std::min(wanted, room(area).width());
    if (w <= width())
        return;
    // Grown about its middle, and kept on the screen.
    const QRect frame = frameGeometry();
    const int extra = frame.width() - width();
    int left = frame.center().x() - (w + extra) / 2;
    left = std::clamp(left, area.left(), std::max(area.left(), area.right() + 1 - (w + extra)));
    resize(w, height());
    move(left, frame.top());
}

void Window::centre()
{
    if (!testAttribute(Qt::WA_Resized))
        adjustSize();
    QScreen *screen = screenOfWindow();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(frame.topLeft().x() < area.left() ? area.left() : frame.topLeft().x(),
         frame.topLeft().y() < area.top() ? area.top() : frame.topLeft().y());
}

void Window::runOpen()
{
    // open() of a window whose controls were not all built would reach
    // controls that are not there; the trace line of create() says why.
    if (m_closed || m_openRan || m_createFailed)
        return;
    m_openRan = true;
    Dispatcher::run(this, "open", [this] { open(); });
}

void Window::create()
{
}

void Window::open()
{
}

void Window::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int flags) { Q_EMIT key(k, flags); }))
        return;
    if (m_closed)
        return;

    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int k = event->key();
    if ((k == Qt::Key_Return || k == Qt::Key_Enter) && mods == Qt::NoModifier) {
        QPushButton *b = defaultButton();
        if (b && b->isEnabled() && b->isVisible())
            b->click();
        event->accept();
        return;
    }
    if (k == Qt::Key_Escape && mods == Qt::NoModifier) {
        // Esc clicks the cancel button; a window without one stays open.
        CommandButton *b = cancelButton();
        if (b && b->isEnabled() && b->isVisible())
            b->click();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void Window::closeEvent(QCloseEvent *event)
{
    if (!m_closed && !std::exchange(m_closeAgreed, false) && !closeQuery()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
    if (event->isAccepted()) {
        const Window::GeometryStore &store = registry().geometry;
        if (store.save && m_shownOnce && !m_closed)
            store.save(windowClassName(), saveGeometry());
        m_closed = true;
        unregister();
    }
}

void Window::unregister()
{
    // The key kept at registration: in the destructor the subclass is gone and
    // the class name can no longer be read from the meta object.
    if (m_registeredKey.isEmpty())
        return;
    Registry &r = registry();
    auto it = r.latest.find(m_registeredKey);
    if (it != r.latest.end() && (it.value().isNull() || it.value() == this))
        r.latest.erase(it);
}

int Close(Window *window)
{
    if (!window)
        throw HostError(ErrNullObject, QStringLiteral("Close"));
    return window->Close();
}

} // namespace wip
