#pragma once

#include <QString>
#include <QStringList>

namespace wip {

// The manual page wip(1), made from the help the program itself prints
// (`wip --help`, `wip COMMAND --help`), so that `man wip` lists the same commands
// and options in the same words: a synopsis per command, the desktop
// application's options, a section per command with its description, options
// and arguments, then the environment, files and exit codes. The package
// installs it (packaging/manpage.cpp writes it at build time).
class ManualPage
{
public:
    // The commands in the order the page shows them; "" is the desktop application.
    static const QStringList &commands();
    // What `wip COMMAND --help` prints ("" for `wip --help`).
    static QString helpText(const QString &command);
    // The page in troff (man macros), UTF-8.
    static QString troff();
};

} // namespace wip
