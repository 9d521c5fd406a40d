#pragma once

#include "database/rightscatalogue.h"
#include "runtime/transaction.h"

#include <QDate>
#include <QDateTime>
#include <QVariant>
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
// reports show rows, and in order: a contract is ordered before it is due, and
// its departments work one after the other. Steps, transfers, castings and
// progress stamps carry times of day within working hours, as the desks stamp
// them; contracts have lines in one to three metals. `scale` multiplies the number of contracts (about 10 000
// proch rows per unit). The caller owns the transaction.
class DemoFactory
{
public:
    // The largest scale: about ten million steps, some hours to build; run()
    // refuses a scale outside 1 to maxScale.
    static constexpr int maxScale = 1000;

    DemoFactory(QSqlDatabase db, DbKind kind, QDate today, int scale = 1);

    // A factory of that many contracts instead of scale times 800: the small
    // factory a test reads every report on. Set before run().
    void setContracts(int count) { m_contracts = count; }

    bool run();
    QString error() const { return m_error; }

    // The design numbers of the demo (the style pictures are named after them).
    static QStringList designNumbers();
    // Demo users: code, name, password, rights text for ("M05", "H06"), and the
    // rights of their own texts (the administrator holds them all).
    struct DemoUser
    {
        QString code;
        QString name;
        QString password;
        QString rights;
        Rights otherRights = {};
    };
    static const QList<DemoUser> &demoUsers();

private:
    struct Tables;
    struct Contract;
    // One process step of a worker, for the worker's sheet.
    struct Step
    {
        QString gongxu, changhao, xingming, sheet, metal;
        double qty = 0, weight = 0;
        QDateTime sttime;
        QVariant edtime;
        bool done = false;
    };

    bool writeReferenceData();
    bool writeCodes();
    bool writeMaterials();
    bool writeArticles();
    bool writeCustomers();
    bool writeWorkers();
    bool writeSettingStatus();
    bool writeMaterialOrigins();
    bool writeContracts();
    Contract writeHeaderAndLines(int i, Tables &t);
    void writeProgress(const Contract &c, Tables &t);
    void writeSteps(const Contract &c, Tables &t);
    void writeWorkerSheet(const Contract &c, Tables &t, const Step &s);
    void writeOtherWork(const Contract &c, Tables &t);
    void writeTransfers(const Contract &c, Tables &t);
    void writeBagPlaces(const Contract &c, Tables &t);
    bool writeUsers();
    bool writeAuditTrail();
    bool finish(BatchInserter &inserter);
    bool resyncSequences();

    QDateTime day(int offset, int hour = 0, int minute = 0) const;   // today + offset days
    QDateTime at(int offset, int minute) const;                       // today + offset days, minutes after midnight

    QSqlDatabase m_db;
    DbKind m_kind;
    QDate m_today;
    int m_scale;
    int m_contracts = 0;
    QRandomGenerator m_rng;
    QString m_error;
};

} // namespace wip
