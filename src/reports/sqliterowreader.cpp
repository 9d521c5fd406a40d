#include "reports/sqliterowreader.h"

#include <QSqlDriver>

#include <atomic>
#include <cstring>
#include <limits>

#ifdef WIP_SQLITE_DIRECT
#include <sqlite3.h>
#endif

namespace wip::reports {

namespace {

std::atomic<bool> g_enabled{true};

#ifdef WIP_SQLITE_DIRECT
sqlite3 *handleOf(const QSqlDatabase &db)
{
    if (!db.isOpen() || !db.driver() || db.driverName() != QLatin1String("QSQLITE"))
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

// Binds one value as Qt's SQLite driver would: numbers as numbers, texts and
// anything else as text, byte arrays as blobs, NULL as NULL.
int bindValue(sqlite3_stmt *stmt, int index, const QVariant &value)
{
    if (value.isNull())
        return sqlite3_bind_null(stmt, index);
    switch (value.metaType().id()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(stmt, index, value.toDouble());
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return sqlite3_bind_int64(stmt, index, value.toLongLong());
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return sqlite3_bind_double(stmt, index, double(u));
        return sqlite3_bind_int64(stmt, index, qint64(u));
    }
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob64(stmt, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray text = value.toString().toUtf8();
        return sqlite3_bind_text64(stmt, index, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT,
                                   SQLITE_UTF8);
    }
    }
}
#endif

} // namespace

SqliteRowReader::~SqliteRowReader()
{
#ifdef WIP_SQLITE_DIRECT
    if (m_stmt)
        sqlite3_finalize(m_stmt);
#endif
}

void SqliteRowReader::setEnabled(bool enabled)
{
    g_enabled = enabled;
}

bool SqliteRowReader::enabled()
{
    return g_enabled;
}

bool SqliteRowReader::usable(const QSqlDatabase &db)
{
#ifdef WIP_SQLITE_DIRECT
    return g_enabled && handleOf(db) != nullptr;
#else
    Q_UNUSED(db);
    return false;
#endif
}

std::unique_ptr<SqliteRowReader> SqliteRowReader::prepare(const QSqlDatabase &db, const QString &sql,
                                                          const QVector<QVariant> &values, QString *error)
{
#ifdef WIP_SQLITE_DIRECT
    sqlite3 *handle = handleOf(db);
    if (!handle) {
        if (error)
            *error = QStringLiteral("not a SQLite connection");
        return nullptr;
    }
    std::unique_ptr<SqliteRowReader> reader(new SqliteRowReader);
    reader->m_db = handle;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(handle, text.constData(), int(text.size()), &reader->m_stmt, nullptr);
    if (rc != SQLITE_OK || !reader->m_stmt) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(handle));
        return nullptr;
    }
    const int parameters = sqlite3_bind_parameter_count(reader->m_stmt);
    if (parameters != values.size()) {
        if (error)
            *error = QStringLiteral("the statement has %1 parameters, %2 values were given").arg(parameters).arg(values.size());
        return nullptr;
    }
    for (int i = 0; i < values.size(); ++i) {
        if (bindValue(reader->m_stmt, i + 1, values.at(i)) != SQLITE_OK) {
            if (error)
                *error = QString::fromUtf8(sqlite3_errmsg(handle));
            return nullptr;
        }
    }
    reader->m_columns = sqlite3_column_count(reader->m_stmt);
    reader->m_cache.resize(size_t(reader->m_columns));
    return reader;
#else
    Q_UNUSED(db);
    Q_UNUSED(sql);
    Q_UNUSED(values);
    if (error)
        *error = QStringLiteral("this build reads SQLite through Qt only");
    return nullptr;
#endif
}

QStringList SqliteRowReader::columnNames() const
{
    QStringList names;
#ifdef WIP_SQLITE_DIRECT
    for (int c = 0; c < m_columns; ++c)
        names.append(QString::fromUtf8(sqlite3_column_name(m_stmt, c)));
#endif
    return names;
}

int SqliteRowReader::columnIndex(const QString &name) const
{
    // As Qt's record: the column's name as the query gives it, without regard to case.
    const QStringList names = columnNames();
    for (int c = 0; c < names.size(); ++c) {
        if (names.at(c).compare(name, Qt::CaseInsensitive) == 0)
            return c;
    }
    return -1;
}

bool SqliteRowReader::next()
{
#ifdef WIP_SQLITE_DIRECT
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        m_error = QString::fromUtf8(sqlite3_errmsg(m_db));
#endif
    return false;
}

SqliteRowReader::Storage SqliteRowReader::storage(int column) const
{
#ifdef WIP_SQLITE_DIRECT
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER: return Storage::Integer;
    case SQLITE_FLOAT: return Storage::Real;
    case SQLITE_NULL: return Storage::Null;
    case SQLITE_BLOB: return Storage::Blob;
    default: return Storage::Text;
    }
#else
    Q_UNUSED(column);
    return Storage::Null;
#endif
}

double SqliteRowReader::number(int column) const
{
#ifdef WIP_SQLITE_DIRECT
    if (sqlite3_column_type(m_stmt, column) == SQLITE_INTEGER)
        return double(sqlite3_column_int64(m_stmt, column));
    return sqlite3_column_double(m_stmt, column);
#else
    Q_UNUSED(column);
    return 0;
#endif
}

qint64 SqliteRowReader::integer(int column) const
{
#ifdef WIP_SQLITE_DIRECT
    return sqlite3_column_int64(m_stmt, column);
#else
    Q_UNUSED(column);
    return 0;
#endif
}

QString SqliteRowReader::text(int column)
{
#ifdef WIP_SQLITE_DIRECT
    const char *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    const int size = sqlite3_column_bytes(m_stmt, column);
    // FNV-1a over the bytes: codes and names are short.
    size_t hash = 14695981039346656037ull;
    for (int i = 0; i < size; ++i)
        hash = (hash ^ static_cast<unsigned char>(data[i])) * 1099511628211ull;
    CachedText &slot = m_cache[size_t(column)][hash % kCacheSlots];
    if (!slot.text.isNull() && slot.hash == hash && slot.bytes.size() == size
        && (size == 0 || std::memcmp(slot.bytes.constData(), data, size_t(size)) == 0))
        return slot.text;
    slot.hash = hash;
    // The copy reuses the slot's buffer: no allocation while texts keep their length.
    slot.bytes.resize(size);
    if (size > 0)
        std::memcpy(slot.bytes.data(), data, size_t(size));
    // An empty text is not NULL: it stays a non-null empty string.
    slot.text = size > 0 ? QString::fromUtf8(data, size) : QStringLiteral("");
    return slot.text;
#else
    Q_UNUSED(column);
    return {};
#endif
}

QVariant SqliteRowReader::value(int column)
{
#ifdef WIP_SQLITE_DIRECT
    switch (storage(column)) {
    case Storage::Integer:
        return QVariant(qlonglong(sqlite3_column_int64(m_stmt, column)));
    case Storage::Real:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case Storage::Null:
        return QVariant(QMetaType::fromType<QString>());
    case Storage::Blob: {
        const void *data = sqlite3_column_blob(m_stmt, column);
        const int size = sqlite3_column_bytes(m_stmt, column);
        return QVariant(QByteArray(static_cast<const char *>(data), size));
    }
    case Storage::Text:
        return QVariant(text(column));
    }
#else
    Q_UNUSED(column);
#endif
    return {};
}

} // namespace wip::reports
