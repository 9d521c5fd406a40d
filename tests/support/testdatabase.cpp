#include "testdatabase.h"

#include "database/initdatabase.h"
#include "database/postgresadmin.h"
#include "database/schema.h"
#include "runtime/cursor.h"

#include <QDate>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace wip::test {

namespace {

bool isPlainIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    return re.match(name).hasMatch();
}

} // namespace

QString postgresUrl()
{
    return qEnvironmentVariable("WIP_TEST_POSTGRES").trimmed();
}

bool postgresConfigured()
{
    return !postgresUrl().isEmpty();
}

void addEngineRows()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgresql");
}

Engine engineFromName(const QString &name)
{
    return name.compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0 ? Engine::PostgreSQL
                                                                                 : Engine::SQLite;
}

namespace {

// The databases kept aside in this process, by engine and key: a file on
// SQLite, a database on the test server for PostgreSQL (dropped when the test's
// application ends).
struct Kept
{
    QTemporaryDir dir;
    QHash<QString, QString> byKey;
    ConnectionSettings server;
    QStringList postgres;
};

Kept &kept()
{
    static Kept k;
    return k;
}

void dropKept()
{
    for (const QString &name : std::as_const(kept().postgres)) {
        QString error;
        if (!PostgresAdmin::dropDatabase(kept().server, name, &error))
            qWarning("TestDatabase: cannot drop %s: %s", qPrintable(name), qPrintable(error));
    }
    kept().postgres.clear();
}

} // namespace

TestDatabase::TestDatabase(Engine engine, bool withSchema)
    : m_engine(engine)
{
    if (!withSchema) {
        make(QString(), {});
        return;
    }
    const QDate today = QDate::currentDate();
    make(QStringLiteral("schema ") + today.toString(Qt::ISODate), [today](TestDatabase &db) {
        InitOptions options;
        options.today = today;
        options.codes = false;   // each test names the rows it needs
        const InitResult r = initDatabase(db.tr(), options);
        if (!r.ok)
            db.fail(QStringLiteral("cannot create the schema: ") + r.error);
        return r.ok;
    });
}

TestDatabase::TestDatabase(Engine engine, const QString &key, const std::function<bool(TestDatabase &)> &setUp)
    : m_engine(engine)
{
    make(key, setUp);
}

void TestDatabase::make(const QString &key, const std::function<bool(TestDatabase &)> &setUp)
{
    const QString fullKey = QString::number(int(m_engine)) + QLatin1Char(' ') + key;
    const QString from = setUp ? kept().byKey.value(fullKey) : QString();
    const bool made = m_engine == Engine::SQLite ? setUpSqlite() : setUpPostgres(from);
    if (!made)
        return;
    if (m_engine == Engine::SQLite && !from.isEmpty() && !QFile::copy(from, m_settings.database)) {
        fail(QStringLiteral("cannot copy %1 to %2").arg(from, m_settings.database));
        return;
    }
    m_tr.settings = m_settings;
    if (!m_tr.connect()) {
        fail(QStringLiteral("cannot connect to the test database: ") + m_tr.sqlErrText);
        return;
    }
    if (!setUp || !from.isEmpty())
        return;
    if (!setUp(*this)) {
        if (m_error.isEmpty())
            fail(QStringLiteral("cannot set up the test database (%1)").arg(key));
        return;
    }
    // Kept aside only when it is as setUp left it: a helper that failed may
    // have left a half-written row behind.
    if (m_error.isEmpty())
        keep(fullKey);
}

// Keeps a copy of this database for the later ones of the key; a copy that
// cannot be made only means the next one is set up again.
void TestDatabase::keep(const QString &fullKey)
{
    m_tr.disconnect();
    Kept &k = kept();
    QString copy;
    if (m_engine == Engine::SQLite) {
        copy = k.dir.filePath(QStringLiteral("kept-%1.sqlite").arg(k.byKey.size()));
        if (!k.dir.isValid() || !QFile::copy(m_settings.database, copy))
            copy.clear();
    } else {
        copy = QStringLiteral("wip_kept_%1_%2").arg(QCoreApplication::applicationPid()).arg(k.byKey.size());
        QString error;
        if (PostgresAdmin::copyDatabase(m_server, m_pgName, copy, &error)) {
            if (k.postgres.isEmpty())
                qAddPostRoutine(dropKept);
            k.server = m_server;
            k.postgres << copy;
        } else {
            qWarning("TestDatabase: cannot keep a copy of %s: %s", qPrintable(m_pgName), qPrintable(error));
            copy.clear();
        }
    }
    if (!copy.isEmpty())
        k.byKey.insert(fullKey, copy);
    if (!m_tr.connect())
        fail(QStringLiteral("cannot connect to the test database again: ") + m_tr.sqlErrText);
}

TestDatabase::~TestDatabase()
{
    if (m_usedAsApplication) {
        Transaction::sqlca().disconnect();
        applicationConnection() = ConnectionSettings();
    }
    m_tr.disconnect();
    if (!m_pgName.isEmpty()) {
        QString error;
        if (!PostgresAdmin::dropDatabase(m_server, m_pgName, &error))
            qWarning("TestDatabase: cannot drop %s: %s", qPrintable(m_pgName), qPrintable(error));
    }
}

bool TestDatabase::setUpSqlite()
{
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid()) {
        fail(QStringLiteral("cannot make a temporary folder: ") + m_dir->errorString());
        return false;
    }
    m_settings.dbms = QStringLiteral("SQLITE");
    m_settings.database = m_dir->filePath(QStringLiteral("wip-test.sqlite"));
    return true;
}

bool TestDatabase::setUpPostgres(const QString &from)
{
    const QString url = postgresUrl();
    if (url.isEmpty()) {
        fail(QStringLiteral("PostgreSQL not configured: set WIP_TEST_POSTGRES"));
        return false;
    }
    QString error;
    const auto server = ConnectionSettings::fromUrl(url, &error);
    if (!server) {
        fail(QStringLiteral("WIP_TEST_POSTGRES: ") + error);
        return false;
    }
    m_server = *server;
    const QString name = QStringLiteral("wip_test_%1_%2")
                             .arg(QCoreApplication::applicationPid())
                             .arg(QRandomGenerator::global()->generate64() % 1000000000000ULL);
    if (from.isEmpty() ? !PostgresAdmin::createDatabase(m_server, name, &error)
                       : !PostgresAdmin::copyDatabase(m_server, from, name, &error)) {
        fail(QStringLiteral("cannot create the test database: ") + error);
        return false;
    }
    m_pgName = name;
    m_settings = m_server;
    m_settings.database = name;
    return true;
}

void TestDatabase::fail(const QString &text)
{
    m_error = text;
    qWarning("TestDatabase: %s", qPrintable(text));
}

DbKind TestDatabase::kind() const
{
    return m_engine == Engine::SQLite ? DbKind::SQLite : DbKind::PostgreSQL;
}

QString TestDatabase::url() const
{
    return m_settings.toUrl(true);
}

bool TestDatabase::useAsApplicationDatabase()
{
    applicationConnection() = m_settings;
    Transaction &sqlca = Transaction::sqlca();
    sqlca.disconnect();
    sqlca.settings = m_settings;
    m_usedAsApplication = true;
    if (!sqlca.connect()) {
        fail(QStringLiteral("cannot connect SQLCA: ") + sqlca.sqlErrText);
        return false;
    }
    return true;
}

bool TestDatabase::insertRows(const QString &jsonFile)
{
    QFile file(jsonFile);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(jsonFile + QStringLiteral(": cannot read"));
        return false;
    }
    const QJsonObject tables = QJsonDocument::fromJson(file.readAll()).object();
    for (auto it = tables.begin(); it != tables.end(); ++it) {
        if (it.key().startsWith(u'_'))
            continue;
        const TableDef *table = Schema::table(it.key());
        if (!table) {
            fail(QStringLiteral("%1 names no table %2").arg(jsonFile, it.key()));
            return false;
        }
        for (const QJsonValue &row : it.value().toArray()) {
            Values values;
            const QJsonObject o = row.toObject();
            for (auto c = o.begin(); c != o.end(); ++c) {
                const ColumnDef *column = table->column(c.key());
                if (!column) {
                    fail(QStringLiteral("%1 names no column %2.%3").arg(jsonFile, it.key(), c.key()));
                    return false;
                }
                QVariant v = c.value().toVariant();
                if (c.value().isNull())
                    v = QVariant();
                else if (column->type == ColumnType::DateTime)
                    v = QDate::fromString(c.value().toString(), Qt::ISODate);
                values.append({c.key(), v});
            }
            if (!insert(it.key(), values))
                return false;
        }
    }
    return true;
}

// A contract line is numbered when it is made, after its contract's highest
// number, as the program numbers it; a line given its number keeps it.
bool TestDatabase::numberLine(const QString &table, Values *values)
{
    if (table.compare(QLatin1String("scond"), Qt::CaseInsensitive) != 0
        || !m_tr.database().record(QStringLiteral("scond")).contains(QStringLiteral("line_no")))
        return true;
    QVariant scno;
    for (const auto &[column, value] : std::as_const(*values)) {
        if (column.compare(QLatin1String("line_no"), Qt::CaseInsensitive) == 0)
            return true;
        if (column.compare(QLatin1String("scno"), Qt::CaseInsensitive) == 0)
            scno = value;
    }
    const auto next = m_tr.selectInto(
        QStringLiteral("select coalesce(max(line_no), 0) + 1 from scond where scno = ?"), {scno});
    if (!next) {
        fail(QStringLiteral("insert into scond: %1").arg(m_tr.sqlErrText));
        return false;
    }
    values->append({QStringLiteral("line_no"), next->at(0).toInt()});
    return true;
}

bool TestDatabase::insert(const QString &table, const Values &values)
{
    if (!isPlainIdentifier(table) || values.isEmpty()) {
        fail(QStringLiteral("insert: bad table name or no values for \"%1\"").arg(table));
        return false;
    }
    QStringList columns, marks;
    QVariantList bound;
    bool givesId = false;
    const TableDef *def = Schema::table(table);
    Values row = values;
    if (!numberLine(table, &row))
        return false;
    for (const auto &[column, value] : row) {
        if (!isPlainIdentifier(column)) {
            fail(QStringLiteral("insert: bad column name \"%1\"").arg(column));
            return false;
        }
        columns << column;
        marks << QStringLiteral("?");
        bound << value;
        if (def && column.compare(def->idColumn(), Qt::CaseInsensitive) == 0)
            givesId = true;
    }
    const QString sql = QStringLiteral("insert into %1 (%2) values (%3)")
                            .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    if (!m_tr.execute(sql, bound)) {
        fail(QStringLiteral("insert into %1: %2").arg(table, m_tr.sqlErrText));
        m_tr.rollback();
        return false;
    }
    // An explicit key on PostgreSQL leaves the identity sequence behind; move it on
    // so that a later insert without a key does not collide.
    if (givesId && kind() == DbKind::PostgreSQL) {
        const QString id = def->idColumn();
        const QString resync =
            QStringLiteral("select setval(pg_get_serial_sequence('%1', '%2'), "
                           "coalesce((select max(%2) from %1), 0) + 1, false)").arg(def->name, id);
        if (!m_tr.selectInto(resync)) {
            fail(QStringLiteral("insert into %1: %2").arg(table, m_tr.sqlErrText));
            m_tr.rollback();
            return false;
        }
    }
    if (!m_tr.commit()) {
        fail(QStringLiteral("insert into %1: commit: %2").arg(table, m_tr.sqlErrText));
        return false;
    }
    return true;
}

bool TestDatabase::exec(const QString &sql, const QVariantList &values)
{
    if (!m_tr.execute(sql, values)) {
        fail(m_tr.sqlErrText);
        m_tr.rollback();
        return false;
    }
    if (!m_tr.commit()) {
        fail(QStringLiteral("commit: ") + m_tr.sqlErrText);
        return false;
    }
    return true;
}

QVariant TestDatabase::scalar(const QString &sql, const QVariantList &values)
{
    const auto row = m_tr.selectInto(sql, values);
    if (!row) {
        if (m_tr.sqlCode < 0)
            fail(m_tr.sqlErrText);
        return QVariant();
    }
    return row->isEmpty() ? QVariant() : row->first();
}

QList<QVariantList> TestDatabase::rows(const QString &sql, const QVariantList &values)
{
    QList<QVariantList> result;
    Cursor cursor(m_tr, sql, values);
    if (!cursor.open()) {
        fail(m_tr.sqlErrText);
        return result;
    }
    while (auto row = cursor.fetch())
        result.append(*row);
    if (m_tr.sqlCode < 0)
        fail(m_tr.sqlErrText);
    cursor.close();
    return result;
}

} // namespace wip::test
