#pragma once

#include "runtime/decimal.h"

#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QString>

namespace wip {
class Transaction;
}

namespace wip::bench {

// The rows a desk writes for a bag at 执模 (received from the transfer 倒模
// began, issued whole to a worker, taken back whole with 10 mg lost, passed on
// to 镶石), written by hand: plain prepared statements with bound values, one
// transaction an action, with everything the desk reads known beforehand. The
// baseline of bench_desk.
class HandDesk
{
public:
    struct Bag
    {
        QString code, scno, note, custNo, custOrder, article, metal, design, product;
        QVariant delivery;
        long long scondId = 0;
        long long processId = 0;
        int moves = 0;
        Decimal pcs, grams;
    };

    HandDesk(QSqlDatabase db, const QString &worker, const QString &workerName);

    // The bags in transit to 执模 among scondIds, with what the hand-written
    // statements need; the progress figures of their contracts are kept here.
    QList<Bag> read(Transaction &tr, const QList<long long> &scondIds);

    bool receive(Bag &bag);
    bool issue(Bag &bag);
    bool takeBack(Bag &bag);
    bool passOn(Bag &bag);

    QString error() const { return m_error; }

private:
    bool run(const QString &sql, const QVariantList &values, int expectRows = -1);
    bool begin();
    bool commit();
    bool bagPlace(const Bag &bag, const QVariantList &place, const Decimal &pcs, const Decimal &grams);
    bool audit(const Bag &bag, const QString &field, const QVariant &before, const QVariant &after);
    QString sheet(const Bag &bag) const;

    QSqlDatabase m_db;
    QString m_worker, m_workerName;
    QString m_now;
    long long m_stepId = 0;
    QHash<QString, std::pair<Decimal, Decimal>> m_filing;   // contract: filing_in, filing_out
    QString m_error;
};

} // namespace wip::bench
