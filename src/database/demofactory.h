#pragma once

#include "database/demobag.h"
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
//
// The departments' work is their desks': each line is a bag taken through the
// desks' actions (DemoBag) up to where it stands now, with one place, the steps,
// sheets and transfers the desk would have written and the progress record its
// passing on gives; one contract in twenty is not started yet (lines only).
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
    // Where a bag stands in the department that holds its contract's work.
    enum class Standing;

    bool writeReferenceData();
    bool writeCodes();
    bool writeMaterials();
    bool writeArticles();
    bool writeCustomers();
    bool writeWorkers();
    bool writeRecoveries();
    bool writeSettingStatus();
    bool writeMaterialOrigins();
    void makeTables(Tables &t);
    bool writeContracts();
    Contract writeHeaderAndLines(int i, Tables &t);
    void writeProgress(const Contract &c, Tables &t);
    void writeBag(const Contract &c, int line, Tables &t);
    void workDone(const Contract &c, int line, int k, demo::DemoBag &bag);
    void workNow(const Contract &c, int line, Standing now, demo::DemoBag &bag);
    void issueAndTakeBack(const Contract &c, int line, int k, int step, int pieces, demo::Mg weight,
                          const QDateTime &from, const QDateTime &to, demo::DemoBag &bag);
    Standing standing(const Contract &c, int line) const;
    void writeOtherWork(const Contract &c, Tables &t);
    void writeTransfers(const Contract &c, Tables &t);
    bool writeUsers();
    bool writeClosedDays();
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
