#pragma once

#include <QString>
#include <QTextStream>

#include <functional>
#include <optional>

namespace wip {

// Passwords of the headless commands: from the environment (WIP_PASSWORD) or
// typed on the terminal without echo, never from the arguments, where other
// users of the machine could read them.
class PasswordPrompt
{
public:
    // The password of WIP_PASSWORD when it is set, else asked on the terminal;
    // a null QString when neither gives one.
    static QString existing(const QString &prompt);

    // A password to set (a new user's, an administrator's, a reset): the one of
    // WIP_PASSWORD, or typed twice on the terminal. Checked for its length
    // (UserAdmin::passwordProblem). nullopt after saying why on err.
    static std::optional<QString> newPassword(const QString &whose, QTextStream &err);

    // Asks on the terminal; tests put their own here. The default reads the
    // controlling terminal with echo off and gives a null QString when there is
    // none (standard input is no terminal).
    using Prompt = std::function<QString(const QString &prompt)>;
    static void setPrompt(Prompt prompt);
};

} // namespace wip
