#pragma once

#include <QString>
#include <QVariantList>
#include <memory>
#include <optional>

namespace wip {

class Transaction;

// A declared cursor of embedded SQL: DECLARE c CURSOR FOR ...; OPEN; FETCH ... INTO;
// CLOSE. Its statement runs on the transaction's connection, and each call sets
// the transaction's status fields as the transaction's own statements do.
class Cursor
{
public:
    Cursor(Transaction &tr, const QString &sql, const QVariantList &values = {});
    ~Cursor();
    bool open();                          // runs the query; tr.sqlCode set
    std::optional<QVariantList> fetch();  // next row; tr.sqlCode 100 at the end
    void close();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace wip
