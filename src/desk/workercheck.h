#pragma once

#include <QString>

namespace wip {

class Transaction;

// Whether a worker number may be given work at a department's desk, and the
// worker's name: the worker must be in the workers' table of the reference data
// (worker: changhao, xingming, gongxu_code, active), active (active NULL or not
// 0) and of the department.
class WorkerCheck
{
public:
    enum class Verdict { Ok, Unknown, Inactive, OtherDepartment, Failed };

    // *name: the worker's name; *why: the refusal for the clerk.
    static Verdict check(Transaction &tr, const QString &changhao, const QString &gongxu, QString *name,
                         QString *why);
};

} // namespace wip
