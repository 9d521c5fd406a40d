#pragma once

#include "runtime/transaction.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace wip {

class BatchInserter;

// Fills an empty Wip database with a deterministic demo factory (a fixed random
// seed): customers' contracts and lines, designs and articles with their stones,
// progress records, process steps open and finished in every department, castings,
// stock transfers, materials and their use, worker sheets, stone records and the
// special-work tables. Dates lie around `today`, so that today's and this month's
// reports show rows. `scale` multiplies the number of contracts (about 10 000
// proch rows per unit). The caller owns the transaction.
class DemoFactory
{
public:
    DemoFactory(QSqlDatabase db, DbKind kind, QDate today, int scale = 1);

    bool run();
    QString error() const { return m_error; }

    // The design numbers of the demo (the style pictures are named after them).
    static QStringList designNumbers();
    // Demo users: code, name, password, rights text for ("M05", "H06").
    struct DemoUser
    {
        QString code;
        QString name;
        QString password;
        QString rights;
    };
    static const QList<DemoUser> &demoUsers();

private:
    bool writeReferenceData();
    bool writeContracts();
    bool writeUsers();
    bool finish(BatchInserter &inserter);
    bool resyncSequences();

    QDateTime day(int offset, int hour = 0, int minute = 0) const;   // today + offset days

    QSqlDatabase m_db;
    DbKind m_kind;
    QDate m_today;
    int m_scale;
    QRandomGenerator m_rng;
    QString m_error;
};

} // namespace wip
