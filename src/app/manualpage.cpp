#include "app/manualpage.h"

#include "app/buildinfo.h"
#include "app/commandline.h"

#include <QList>
#include <QRegularExpression>

namespace wip {

namespace {

// One entry of a help text's list of options or arguments.
struct HelpEntry
{
    QString names;         // "-h, --help", "--database <URL>", "NAME"
    QString description;   // its lines joined
};

// A help text as QCommandLineParser lays it out: "Usage: ..." on the first line,
// the description, then "Options:" and "Arguments:" with one entry a line and
// the long descriptions wrapped onto lines indented to their column.
struct Help
{
    QString usage;            // after "Usage: "
    QStringList description;  // as written, one paragraph line a line
    QList<HelpEntry> options;
    QList<HelpEntry> arguments;
};

Help parse(const QString &text)
{
    Help help;
    static const QRegularExpression entry(QStringLiteral("^  (\\S.*?)(?:\\s{2,}(\\S.*))?$"));
    static const QRegularExpression continued(QStringLiteral("^\\s{3,}(\\S.*)$"));
    QList<HelpEntry> *list = nullptr;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("Usage: "))) {
            help.usage = line.mid(7).trimmed();
        } else if (line == QLatin1String("Options:")) {
            list = &help.options;
        } else if (line == QLatin1String("Arguments:")) {
            list = &help.arguments;
        } else if (!list) {
            help.description << line;
        } else if (const auto c = continued.match(line); c.hasMatch() && !list->isEmpty()) {
            list->last().description += QLatin1Char(' ') + c.captured(1);
        } else if (const auto e = entry.match(line); e.hasMatch()) {
            list->append({e.captured(1).trimmed(), e.captured(2).trimmed()});
        }
    }
    while (!help.description.isEmpty() && help.description.last().trimmed().isEmpty())
        help.description.removeLast();
    return help;
}

// Text as troff reads it literally: backslashes escaped, hyphens as the
// hyphen-minus of a command line, and no line taken for a request.
QString escaped(const QString &text)
{
    QString s = text;
    s.replace(QLatin1Char('\\'), QLatin1String("\\e"));
    s.replace(QLatin1Char('-'), QLatin1String("\\-"));
    if (s.startsWith(QLatin1Char('.')) || s.startsWith(QLatin1Char('\'')))
        s.prepend(QLatin1String("\\&"));
    return s;
}

// "--database <URL>" as "\fB\-\-database\fR \fIURL\fR".
QString optionNames(const QString &names)
{
    static const QRegularExpression value(QStringLiteral("<([^>]*)>"));
    QString s;
    qsizetype at = 0;
    for (auto it = value.globalMatch(names); it.hasNext();) {
        const auto m = it.next();
        s += QStringLiteral("\\fB%1\\fR").arg(escaped(names.mid(at, m.capturedStart() - at).trimmed()));
        s += QStringLiteral(" \\fI%1\\fR").arg(escaped(m.captured(1)));
        at = m.capturedEnd();
    }
    if (at < names.size())
        s += QStringLiteral("\\fB%1\\fR").arg(escaped(names.mid(at).trimmed()));
    return s;
}

void appendEntries(QString &page, const QList<HelpEntry> &entries)
{
    for (const HelpEntry &e : entries)
        page += QStringLiteral(".TP\n%1\n%2\n").arg(optionNames(e.names), escaped(e.description));
}

// The command lines the desktop's help lists under "Commands:".
QStringList synopsis(const Help &desktop)
{
    QStringList lines;
    for (const QString &line : desktop.description) {
        if (line.startsWith(QLatin1String("  wip ")))
            lines << line.trimmed();
    }
    return lines;
}

QString fixedSections()
{
    return QStringLiteral(
        ".SH ENVIRONMENT\n"
        ".TP\n\\fBWIP_PASSWORD\\fR\n"
        "The password of \\fBwip scan\\fR, \\fBwip desk\\fR, \\fBwip close\\-day\\fR and \\fBwip import\\fR, and the password to set of \\fBwip init\\-db \\-\\-admin\\fR, "
        "\\fBwip user add\\fR and \\fBwip user passwd\\fR; without it the password is asked on the terminal "
        "(twice when it is a new one). A password is never taken from the command line.\n"
        ".SH FILES\n"
        ".TP\n\\fI~/.config/Wip/wip.ini\\fR\n"
        "The settings: the database, the folders of the drive letters, the last user, the trace log, "
        "the places of the windows, the count of wrong passwords, the desk's tolerance and the serial port of its "
        "scale.\n"
        ".TP\n\\fI~/.local/share/Wip/wip/\\fR\n"
        "The data folder: the embedded database \\fIwip.sqlite\\fR, its daily backups (\\fIbackups/\\fR, the newest 14), "
        "the style pictures (\\fIpictures/\\fR, drive P:), "
        "the exports (\\fIexports/\\fR, drive D:) and the trace log \\fIwip\\-trace.log\\fR.\n"
        ".SH EXIT STATUS\n"
        "0 when the command did all it was asked, 1 when it failed or refused something (the message on "
        "standard error says what), 2 for a command line that does not read.\n"
        ".SH SEE ALSO\n"
        "The user guide and the README in \\fI/usr/share/doc/wip/\\fR.\n");
}

} // namespace

const QStringList &ManualPage::commands()
{
    static const QStringList list{QString(), QStringLiteral("init-db"), QStringLiteral("report"),
                                  QStringLiteral("recompute-day-wip"), QStringLiteral("tickets"),
                                  QStringLiteral("badges"), QStringLiteral("scan"), QStringLiteral("desk"),
                                  QStringLiteral("user"), QStringLiteral("import"), QStringLiteral("export"),
                                  QStringLiteral("backup"), QStringLiteral("restore"), QStringLiteral("check"),
                                  QStringLiteral("close-day")};
    return list;
}

QString ManualPage::helpText(const QString &command)
{
    QStringList arguments{QStringLiteral("wip")};
    if (!command.isEmpty())
        arguments << command;
    arguments << QStringLiteral("--help");
    return CommandLine::parse(arguments).text;
}

QString ManualPage::troff()
{
    const Help desktop = parse(helpText(QString()));
    QString page = QStringLiteral(".TH WIP 1 \"\" \"wip %1\" \"User Commands\"\n").arg(BuildInfo::version());
    // URLs and options are not to be broken at a hyphen or spread out.
    page += QStringLiteral(".nh\n.ad l\n");
    page += QStringLiteral(".SH NAME\nwip \\- work in process and order progress of a jewellery factory\n");
    page += QStringLiteral(".SH SYNOPSIS\n.nf\n");
    page += QStringLiteral("\\fBwip\\fR [\\fB\\-\\-database\\fR \\fIURL\\fR] [\\fB\\-\\-user\\fR \\fICODE\\fR]\n");
    for (const QString &line : synopsis(desktop))
        page += escaped(line) + QLatin1Char('\n');
    page += QStringLiteral(".fi\n.SH DESCRIPTION\n");
    for (const QString &line : desktop.description) {
        if (line.trimmed().isEmpty() || line.startsWith(QLatin1String("  wip ")) || line == QLatin1String("Commands:"))
            continue;
        page += escaped(line) + QLatin1Char('\n');
    }
    page += QStringLiteral(".SH OPTIONS\n");
    appendEntries(page, desktop.options);
    page += QStringLiteral(".SH COMMANDS\n");
    for (const QString &command : commands()) {
        if (command.isEmpty())
            continue;
        const Help help = parse(helpText(command));
        page += QStringLiteral(".SS \"%1\"\n").arg(escaped(help.usage));
        for (const QString &line : help.description)
            page += line.trimmed().isEmpty() ? QStringLiteral(".PP\n") : escaped(line) + QLatin1Char('\n');
        appendEntries(page, help.options);
        appendEntries(page, help.arguments);
    }
    return page + fixedSections();
}

} // namespace wip
