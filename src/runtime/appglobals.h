#pragma once

#include <QString>
#include <functional>

namespace wip {

// Globals the application gives its windows: the code of the logged-in user and
// the rights look-up. The application shell sets both after the login; windows
// only read them, so no window depends on the shell itself.

// Code of the logged-in user (empty before the login).
QString &user_code();

// Looks up a user's rights text for a module and a function ("M05", "H06").
using QxpdFunction = std::function<QString(const QString &userCode, const QString &module,
                                           const QString &function)>;

// Installs the rights look-up (the application installs the one over the rights
// table at start; tests install their own). An empty function removes it.
void setQxpdFunction(QxpdFunction function);

// The user's rights text for module and function; a null QString when the user
// has none or when no look-up is installed.
QString qxpd(const QString &userCode, const QString &module, const QString &function);

} // namespace wip
