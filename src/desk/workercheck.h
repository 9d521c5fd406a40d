#pragma once

#include <QString>

namespace wip {

class Transaction;

// Whether a worker number may be given work at a department's desk, and the
// worker's name. Where the database has the workers' table (worker: changhao,
// xingming, gongxu_code, active), the worker must be in it, active (active NULL
// or not 0) and of the department; otherwise any number is taken, named as the
// last step given to that number named it, or by the number itself.
class WorkerCheck
{
public:
    enum class Verdict { Ok, Unknown, Inactive, OtherDepartment, Failed };

    // *name: the worker's name; *why: the refusal for the clerk.
    static Verdict check(Transaction &tr, const QString &changhao, const QString &gongxu, QString *name,
                         QString *why);
};

} // namespace wip
