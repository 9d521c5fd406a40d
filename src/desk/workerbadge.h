#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace wip {

class Transaction;

// The badge a worker carries to the desk: the worker number (worker.changhao)
// that the desk and the login read when the badge is scanned, the worker's name
// and department. Badges are printed for the active workers (active NULL or
// not 0) of the reference data, by department and number.
struct WorkerBadge
{
    QString number;       // changhao, as the scanner types it back
    QString name;         // xingming; the number when the worker has no name
    QString gongxu;       // the department's process code, "04-执模"
    QString department;   // the desk's caption ("执模"), else the process code

    // The process codes that names give: a desk's caption ("执模"), a process
    // code of table gongxu or of a worker ("04-执模", "SPL_FIL"), the part of
    // one after its dash ("出水"), or a process name of gongxu ("FILING"),
    // without regard to case. False with *error naming the first that is none.
    static bool departments(Transaction &tr, const QStringList &names, QStringList *codes, QString *error);

    // The badges of the active workers of codes (every department when empty).
    // False when the database cannot be read (*error).
    static bool read(Transaction &tr, const QStringList &codes, QList<WorkerBadge> *badges, QString *error);
};

} // namespace wip
