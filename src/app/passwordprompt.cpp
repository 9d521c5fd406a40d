#include "app/passwordprompt.h"

#include "database/useradmin.h"

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace wip {

namespace {

constexpr const char *kVariable = "WIP_PASSWORD";

// The password typed on the terminal, echo off; null when stdin is no terminal.
QString terminalPassword(const QString &prompt)
{
    if (!isatty(STDIN_FILENO))
        return QString();
    termios old{};
    if (tcgetattr(STDIN_FILENO, &old) != 0)
        return QString();
    std::fputs(prompt.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    termios quiet = old;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    char buffer[512] = {};
    const bool read = std::fgets(buffer, sizeof buffer, stdin) != nullptr;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    std::fputs("\n", stderr);
    if (!read)
        return QString();
    QString password = QString::fromLocal8Bit(buffer);
    while (password.endsWith(QLatin1Char('\n')) || password.endsWith(QLatin1Char('\r')))
        password.chop(1);
    return password;
}

PasswordPrompt::Prompt &prompt()
{
    static PasswordPrompt::Prompt p = terminalPassword;
    return p;
}

} // namespace

void PasswordPrompt::setPrompt(Prompt p)
{
    prompt() = p ? std::move(p) : Prompt(terminalPassword);
}

QString PasswordPrompt::existing(const QString &text)
{
    if (qEnvironmentVariableIsSet(kVariable))
        return qEnvironmentVariable(kVariable);
    return prompt()(text);
}

std::optional<QString> PasswordPrompt::newPassword(const QString &whose, QTextStream &err)
{
    QString password;
    if (qEnvironmentVariableIsSet(kVariable)) {
        password = qEnvironmentVariable(kVariable);
    } else {
        password = prompt()(QStringLiteral("New password of %1: ").arg(whose));
        if (password.isNull()) {
            err << "No password: set WIP_PASSWORD or run the command on a terminal to type it." << Qt::endl;
            return std::nullopt;
        }
        if (const QString why = UserAdmin::passwordProblem(password); !why.isEmpty()) {
            err << why << Qt::endl;
            return std::nullopt;
        }
        if (prompt()(QStringLiteral("The same password again: ")) != password) {
            err << "The two passwords differ; nothing was changed." << Qt::endl;
            return std::nullopt;
        }
    }
    if (const QString why = UserAdmin::passwordProblem(password); !why.isEmpty()) {
        err << why << Qt::endl;
        return std::nullopt;
    }
    return password;
}

} // namespace wip
