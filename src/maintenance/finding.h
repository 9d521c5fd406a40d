#pragma once

#include <QString>

namespace wip {

// One thing a check of the database found wrong: the rule that found it and
// what it found, told on one line ("unknown-contract: proch: 2 rows name
// contract KC9, ...").
struct Finding
{
    QString rule;   // integrity, unknown-contract, negative-holding, transfer-not-received, progress-disagrees
    QString text;

    QString line() const { return rule + QStringLiteral(": ") + text; }
};

} // namespace wip
