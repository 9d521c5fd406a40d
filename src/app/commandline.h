#pragma once

#include "database/rightscatalogue.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace wip {

// Reads the command line of the `wip` executable: the desktop application
// (`wip [--database URL] [--user CODE]`) and the headless commands `init-db`,
// `report`, `recompute-day-wip`, `tickets`, `badges`, `scan`, `desk`, `user`,
// `import`, `export`, `backup`, `restore`, `check` and `close-day`. Parsing only: it opens
// nothing, so main() can dispatch and the tests can check every refusal
// without a database.
class CommandLine
{
public:
    enum class Command { Desktop, InitDb, Report, RecomputeDayWip, Tickets, Badges, Scan, Desk, User, Import, Export,
                         Backup, Restore, Check, CloseDay };
    enum class Outcome { Run, ShowHelp, ShowVersion, Error };

    struct Options
    {
        Command command = Command::Desktop;
        QString database;                          // URL as given; empty when not given
        QString user;                              // --user of the desktop application
        bool demo = false;                         // init-db --demo
        int scale = 1;                             // init-db --scale N (1 to DemoFactory::maxScale)
        QString admin;                             // init-db --admin CODE: the first administrator
        QString name;                              // init-db --admin, user add: --name TEXT
        QString userAction;                        // user: add, disable, enable, passwd, grant, list
        QString account;                           // user ACTION CODE: the user changed
        Rights rights;                             // user add/grant --rights LIST
        QString reportName;                        // report NAME
        QList<QPair<QString, QString>> arguments;  // report --arg NAME=VALUE, in order
        QString format = QStringLiteral("json");   // report --format
        QString output;                            // report, export, backup --output FILE; empty: stdout
        QString title;                             // report --title TEXT: the heading text
        QString date;                              // recompute-day-wip, close-day --date (YYYY-MM-DD)
        QStringList scnos;                         // tickets --scno, in order
        QString label;                             // tickets --label WIDTHxHEIGHT; empty: A4
        QString department;                        // scan, desk, close-day --dept CAPTION
        QStringList departments;                   // badges --dept CAPTION, in order; empty: every one
        QString action;                            // scan --action out|in; desk receive|issue|return|pass|cast|reverse
        QStringList codes;                         // scan: the ticket codes, in order; desk: one (cast: CODE=G ...)
        bool again = false;                        // scan --again
        QString worker;                            // desk --worker N (issue, return; pass --outside: the workshop)
        QString pieces;                            // desk --pieces N; empty: the default
        QString weight;                            // desk --weight G
        QString returned;                          // desk --returned G
        QString unfinishedWeight;                  // desk --unfinished-weight G: unfinished pieces back to the desk
        bool outside = false;                      // desk --outside: pass on to outside work
        bool confirm = false;                      // desk --confirm: a weight difference or a gain is meant
        QString reason;                            // desk --action reverse --reason TEXT: why
        QList<QPair<QString, QString>> stones;     // desk --stones METHOD[/STONE]=N,...: stones set at 镶石
        QList<QPair<QString, QString>> broken;     // desk --broken STONE=N,...: stones broken or lost at 镶石
        QList<QPair<QString, QString>> castBags;   // desk --action cast: CODE=G, the grams cast for each bag
        QString kind;                              // import/export --kind (customers, metals ...)
        QString file;                              // import FILE, restore FILE
        bool dryRun = false;                       // import --dry-run
        bool update = false;                       // import --update
        int days = 7;                              // check --days N: transfers not received after N days
        bool reopen = false;                       // close-day --reopen
    };

    struct Result
    {
        Outcome outcome = Outcome::Error;
        Options options;
        QString text;                              // help text, version, or the error
    };

    // arguments[0] is the program, as QCoreApplication::arguments() gives it.
    static Result parse(const QStringList &arguments);

    static QString commandName(Command command);
    // "add,edit,scan", "all" or "none": the rights of RightsCatalogue by their
    // command-line names. False with *error naming what is not a right.
    static bool parseRights(const QString &list, Rights *rights, QString *error);
    static const QStringList &reportFormats();     // json, csv, xlsx, pdf, psr
};

} // namespace wip
