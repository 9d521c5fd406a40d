#include "reports/sqliterowsource.h"

#include "runtime/transaction.h"
#include "runtime/values.h"

#include <QSqlDriver>

#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>
#include <type_traits>
#include <unordered_set>

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

// A SQLite value as a report's number column takes it (SqliteRowSource::decimal);
// invalid for NULL and anything that is no number.
Decimal decimalOf(sqlite3_value *value)
{
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        return Decimal::fromInt(sqlite3_value_int64(value));
    case SQLITE_FLOAT:
        return Decimal::fromDouble(sqlite3_value_double(value));
    case SQLITE_TEXT: {
        const char *text = reinterpret_cast<const char *>(sqlite3_value_text(value));
        return values::parseNumber(QByteArrayView(text, sqlite3_value_bytes(value))).value_or(Decimal::invalid());
    }
    default:
        return Decimal::invalid();
    }
}

// The running total of wip_decimal_sum, in the memory SQLite keeps for one
// aggregate (zeroed when first asked for, released without a destructor).
struct DecimalSumState
{
    bool started;
    Decimal sum;
};
static_assert(std::is_trivially_destructible_v<Decimal>);

void decimalSumStep(sqlite3_context *context, int, sqlite3_value **argv)
{
    const Decimal n = decimalOf(argv[0]);
    if (!n.isValid())
        return;
    auto *state = static_cast<DecimalSumState *>(sqlite3_aggregate_context(context, sizeof(DecimalSumState)));
    if (!state) {
        sqlite3_result_error_nomem(context);
        return;
    }
    if (!state->started) {
        new (&state->sum) Decimal();
        state->started = true;
    }
    state->sum += n;
}

void decimalSumFinal(sqlite3_context *context)
{
    const auto *state = static_cast<DecimalSumState *>(sqlite3_aggregate_context(context, 0));
    const Decimal sum = state && state->started ? state->sum : Decimal();
    if (!sum.isValid()) {
        sqlite3_result_null(context);
        return;
    }
    const QByteArray text = sum.toString().toLatin1();
    sqlite3_result_text(context, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// The running state of the exact sum(x) and total(x) that stand in for SQLite's
// own on Wip's connections, in the memory SQLite keeps for one aggregate or one
// window (zeroed when first asked for, released without a destructor).
struct ExactSumState
{
    bool started;
    Decimal sum;          // each value as decimal() takes it
    double approximate;   // SQLite's own double sum, for a sum beyond 18 digits
    qint64 values;        // values in the sum (in a window: in its frame)
    qint64 inexact;       // of them, values that are no integer (SQLite then sums as a double)
};
static_assert(std::is_trivially_destructible_v<ExactSumState>);

ExactSumState *exactSumState(sqlite3_context *context)
{
    auto *state = static_cast<ExactSumState *>(sqlite3_aggregate_context(context, sizeof(ExactSumState)));
    if (state && !state->started) {
        new (&state->sum) Decimal();
        state->started = true;
    }
    return state;
}

// Adds (sign 1) or, as a window's frame moves on, takes away (sign -1) one value.
// NULL is left out; a text or blob that is no number counts, as in SQLite, as a
// value 0 that makes the sum a double.
void exactSumAdd(sqlite3_context *context, sqlite3_value *value, int sign)
{
    if (sqlite3_value_type(value) == SQLITE_NULL)
        return;
    ExactSumState *state = exactSumState(context);
    if (!state) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const Decimal n = decimalOf(value);   // before SQLite reads a text as a number
    const bool integer = sqlite3_value_numeric_type(value) == SQLITE_INTEGER;
    const double approximate = sqlite3_value_double(value);
    state->values += sign;
    state->inexact += integer ? 0 : sign;
    state->approximate += sign * approximate;
    if (n.isValid())
        state->sum = sign > 0 ? state->sum + n : state->sum - n;
}

void exactSumStep(sqlite3_context *context, int, sqlite3_value **argv)
{
    exactSumAdd(context, argv[0], 1);
}

void exactSumInverse(sqlite3_context *context, int, sqlite3_value **argv)
{
    exactSumAdd(context, argv[0], -1);
}

// The sum as SQLite gives it, its figure exact: an integer when every value was
// one, else the double nearest to the exact decimal sum (which a report reads
// back as that decimal); without values NULL for sum() and 0.0 for total().
void exactSumResult(sqlite3_context *context, bool total)
{
    const auto *state = static_cast<const ExactSumState *>(sqlite3_aggregate_context(context, 0));
    if (!state || !state->started || state->values == 0) {
        if (total)
            sqlite3_result_double(context, 0.0);
        else
            sqlite3_result_null(context);
        return;
    }
    const Decimal &sum = state->sum;
    if (!sum.isValid())
        sqlite3_result_double(context, state->approximate);
    else if (!total && state->inexact == 0 && sum.scale() == 0)
        sqlite3_result_int64(context, sum.units());
    else
        sqlite3_result_double(context, sum.toDouble());
}

void exactSumValue(sqlite3_context *context)
{
    exactSumResult(context, false);
}

void exactTotalValue(sqlite3_context *context)
{
    exactSumResult(context, true);
}

// The connections that know wip_decimal_sum. SQLite forgets the function with the
// connection and then calls forgetConnection, so a handle reused by a later
// connection is not taken for one that knows it.
std::mutex g_installedMutex;
std::unordered_set<sqlite3 *> g_installed;

void forgetConnection(void *handle)
{
    const std::lock_guard lock(g_installedMutex);
    g_installed.erase(static_cast<sqlite3 *>(handle));
}
#endif

// Every SQLite connection Wip opens sums exactly, in reports, views and windows alike.
const bool g_exactSumsOnEveryConnection = [] {
    Transaction::addConnectionSetup([](const QSqlDatabase &db, DbKind kind) {
        if (kind == DbKind::SQLite)
            SqliteRowSource::installExactSums(db);
    });
    return true;
}();

} // namespace

SqliteRowSource::~SqliteRowSource()
{
#ifdef WIP_SQLITE_DIRECT
    if (m_stmt)
        sqlite3_finalize(m_stmt);
#endif
}

void SqliteRowSource::setEnabled(bool enabled)
{
    g_enabled = enabled;
}

bool SqliteRowSource::enabled()
{
    return g_enabled;
}

bool SqliteRowSource::installDecimalSum(const QSqlDatabase &db)
{
#ifdef WIP_SQLITE_DIRECT
    sqlite3 *handle = g_enabled ? handleOf(db) : nullptr;
    if (!handle)
        return false;
    {
        const std::lock_guard lock(g_installedMutex);
        if (g_installed.count(handle))
            return true;
    }
    const int rc = sqlite3_create_function_v2(handle, kDecimalSum, 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, handle,
                                              nullptr, decimalSumStep, decimalSumFinal, forgetConnection);
    if (rc != SQLITE_OK)
        return false;
    const std::lock_guard lock(g_installedMutex);
    g_installed.insert(handle);
    return true;
#else
    Q_UNUSED(db);
    return false;
#endif
}

bool SqliteRowSource::installExactSums(const QSqlDatabase &db)
{
#ifdef WIP_SQLITE_DIRECT
    sqlite3 *handle = handleOf(db);
    if (!handle)
        return false;
    constexpr int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    return sqlite3_create_window_function(handle, "sum", 1, flags, nullptr, exactSumStep, exactSumValue,
                                          exactSumValue, exactSumInverse, nullptr) == SQLITE_OK
        && sqlite3_create_window_function(handle, "total", 1, flags, nullptr, exactSumStep, exactTotalValue,
                                          exactTotalValue, exactSumInverse, nullptr) == SQLITE_OK;
#else
    Q_UNUSED(db);
    return false;
#endif
}

bool SqliteRowSource::usable(const QSqlDatabase &db)
{
#ifdef WIP_SQLITE_DIRECT
    return g_enabled && handleOf(db) != nullptr;
#else
    Q_UNUSED(db);
    return false;
#endif
}

std::unique_ptr<SqliteRowSource> SqliteRowSource::open(const QSqlDatabase &db, const QString &sql,
                                                       const QVector<QVariant> &values, QString *error)
{
#ifdef WIP_SQLITE_DIRECT
    sqlite3 *handle = handleOf(db);
    if (!handle) {
        if (error)
            *error = QStringLiteral("not a SQLite connection");
        return nullptr;
    }
    std::unique_ptr<SqliteRowSource> reader(new SqliteRowSource);
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

QStringList SqliteRowSource::columnNames() const
{
    QStringList names;
#ifdef WIP_SQLITE_DIRECT
    for (int c = 0; c < m_columns; ++c)
        names.append(QString::fromUtf8(sqlite3_column_name(m_stmt, c)));
#endif
    return names;
}

bool SqliteRowSource::next()
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

#ifdef WIP_SQLITE_DIRECT
namespace {

QByteArrayView bytesOf(sqlite3_stmt *stmt, int column)
{
    const char *data = reinterpret_cast<const char *>(sqlite3_column_text(stmt, column));
    return QByteArrayView(data, sqlite3_column_bytes(stmt, column));
}

} // namespace
#endif

bool SqliteRowSource::isNull(int column)
{
#ifdef WIP_SQLITE_DIRECT
    return sqlite3_column_type(m_stmt, column) == SQLITE_NULL;
#else
    Q_UNUSED(column);
    return true;
#endif
}

Decimal SqliteRowSource::decimal(int column)
{
#ifdef WIP_SQLITE_DIRECT
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return Decimal::fromInt(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT:
        return Decimal::fromDouble(sqlite3_column_double(m_stmt, column));
    case SQLITE_TEXT:
        return values::parseNumber(bytesOf(m_stmt, column)).value_or(Decimal::invalid());
    default:
        return Decimal::invalid();
    }
#else
    Q_UNUSED(column);
    return Decimal::invalid();
#endif
}

QString SqliteRowSource::text(int column)
{
#ifdef WIP_SQLITE_DIRECT
    // Numbers as Qt's driver gives them (an integer, a double) and then as text.
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QString::number(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column)).toString();
    default:
        return cachedText(column);
    }
#else
    Q_UNUSED(column);
    return {};
#endif
}

std::optional<qint64> SqliteRowSource::wallClock(int column)
{
#ifdef WIP_SQLITE_DIRECT
    const int type = sqlite3_column_type(m_stmt, column);
    if (type != SQLITE_TEXT && type != SQLITE_BLOB)
        return std::nullopt;
    const auto read = values::readDateTime(bytesOf(m_stmt, column));
    if (!read)
        return std::nullopt;
    return values::wallClockMsecs(read->date, read->time);
#else
    Q_UNUSED(column);
    return std::nullopt;
#endif
}

QString SqliteRowSource::cachedText(int column)
{
#ifdef WIP_SQLITE_DIRECT
    const QByteArrayView bytes = bytesOf(m_stmt, column);
    const char *data = bytes.data();
    const qsizetype size = bytes.size();
    // FNV-1a over the bytes: codes and names are short.
    size_t hash = 14695981039346656037ull;
    for (qsizetype i = 0; i < size; ++i)
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

QVariant SqliteRowSource::raw(int column)
{
#ifdef WIP_SQLITE_DIRECT
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(m_stmt, column));
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    case SQLITE_BLOB: {
        const void *data = sqlite3_column_blob(m_stmt, column);
        const int size = sqlite3_column_bytes(m_stmt, column);
        return QVariant(QByteArray(static_cast<const char *>(data), size));
    }
    default:
        return QVariant(cachedText(column));
    }
#else
    Q_UNUSED(column);
    return {};
#endif
}

} // namespace wip::reports
