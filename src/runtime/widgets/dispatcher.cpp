#include "runtime/widgets/dispatcher.h"

#include "runtime/hosterror.h"
#include "runtime/trace.h"

#include <exception>

namespace wip {

namespace {

int s_failures = 0;

QString where(QObject *window, const char *event)
{
    QString name;
    if (window) {
        const QVariant cls = window->property("windowClassName");
        name = cls.isValid() ? cls.toString() : window->objectName();
    }
    const QString ev = QString::fromUtf8(event ? event : "");
    return name.isEmpty() ? ev : name + QLatin1Char('.') + ev;
}

void fail(QObject *window, const char *event, int code, const QString &detail)
{
    ++s_failures;
    QString line = QStringLiteral("in %1").arg(where(window, event));
    if (!detail.isEmpty())
        line += QStringLiteral(": ") + detail;
    Trace::problem(code, line);
}

} // namespace

bool Dispatcher::run(QObject *window, const char *event, const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const HostError &e) {
        fail(window, event, e.code(), e.detail());
    } catch (const std::exception &e) {
        fail(window, event, ErrGeneric, QString::fromUtf8(e.what()));
    } catch (...) {
        fail(window, event, ErrGeneric, QString());
    }
    return false;
}

int Dispatcher::failureCount()
{
    return s_failures;
}

} // namespace wip
