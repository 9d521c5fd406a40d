#include "reports/datastore.h"

#include "reports/catalogue.h"
#include "reports/crosstabpivot.h"
#include "reports/expression.h"
#include "reports/groupindex.h"
#include "reports/modifytext.h"
#include "reports/querytemplate.h"
#include "reports/reportoutput.h"
#include "reports/savedreport.h"
#include "reports/sqliterowreader.h"
#include "reports/valuecompare.h"
#include "runtime/decimal.h"
#include "runtime/hosterror.h"
#include "runtime/sqlvalue.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

#include <QBitArray>
#include <QMutex>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <array>

namespace wip::reports {

namespace {

ArgumentPrompter &prompterSlot()
{
    static ArgumentPrompter prompter;
    return prompter;
}

// What a definition needs at run time, parsed once and shared by every DataStore
// that shows it.
struct Compiled
{
    QueryTemplate query;
    QVector<ComputedField> fields;                       // computed fields, then crosstab totals
    std::vector<std::unique_ptr<Expression>> expressions; // one per field
    std::vector<std::unique_ptr<Expression>> crosstabValues;
};

std::shared_ptr<const Compiled> compile(const std::shared_ptr<const Definition> &definition)
{
    static QMutex mutex;
    static QHash<const Definition *, std::pair<std::weak_ptr<const Definition>, std::shared_ptr<const Compiled>>> cache;
    QMutexLocker lock(&mutex);
    const auto it = cache.constFind(definition.get());
    if (it != cache.constEnd() && it->first.lock() == definition)
        return it->second;

    auto compiled = std::make_shared<Compiled>();
    const Definition &d = *definition;
    compiled->query = QueryTemplate(d.query);
    compiled->fields = d.computed;
    if (d.crosstab)
        compiled->fields += d.crosstab->totals;
    for (const ComputedField &field : std::as_const(compiled->fields)) {
        QString error;
        auto expression = Expression::parse(field.expression, &error);
        if (!expression) // the loader refuses these; a definition built by hand may not
            throw HostError(ErrBadExpression, QStringLiteral("%1: computed field %2: %3").arg(d.name, field.name, error));
        compiled->expressions.push_back(std::move(expression));
    }
    if (d.crosstab) {
        for (const Crosstab::Value &value : d.crosstab->values) {
            QString error;
            auto expression = Expression::parse(value.expression, &error);
            if (!expression)
                throw HostError(ErrBadExpression, QStringLiteral("%1: crosstab value %2: %3").arg(d.name, value.name, error));
            compiled->crosstabValues.push_back(std::move(expression));
        }
    }
    // Forget definitions that are gone.
    for (auto i = cache.begin(); i != cache.end();) {
        if (i->first.expired())
            i = cache.erase(i);
        else
            ++i;
    }
    cache.insert(definition.get(), {definition, compiled});
    return compiled;
}

const Definition &emptyDefinition()
{
    static const Definition empty;
    return empty;
}

ColumnKind columnKind(ValueType type)
{
    switch (type) {
    case ValueType::String: return ColumnKind::String;
    case ValueType::Number: return ColumnKind::Number;
    case ValueType::Date: return ColumnKind::Date;
    case ValueType::DateTime: return ColumnKind::DateTime;
    }
    return ColumnKind::Any;
}

// A database value as the column's type; the usual cases without a detour. Date
// texts (SQLite) stay text here: they are parsed on first read (dateValue), since
// building a local date-time costs more than reading the row.
QVariant typedValue(QVariant &&raw, ValueType type)
{
    const int id = raw.metaType().id();
    switch (type) {
    case ValueType::String:
        if (id == QMetaType::QString && !raw.isNull())
            return std::move(raw);
        break;
    case ValueType::Number:
        if (raw.isNull())
            return Decimal::null();
        if (id == QMetaType::Double)
            return Decimal::fromDouble(*static_cast<const double *>(raw.constData())).toVariant();
        if (id == QMetaType::LongLong)
            return Decimal::fromInt(raw.toLongLong()).toVariant();
        if (id == QMetaType::Int)
            return Decimal::fromInt(raw.toInt()).toVariant();
        break;
    case ValueType::Date:
    case ValueType::DateTime:
        if (id == QMetaType::QDateTime && !raw.isNull())
            return std::move(raw);
        if (id == QMetaType::QString && !raw.isNull())
            return std::move(raw);
        break;
    }
    return fromDbValue(raw, columnKind(type));
}

// A date column's value as read: text parsed into a date-time (typed NULL when it is none).
QVariant dateValue(const QVariant &v)
{
    if (v.metaType().id() != QMetaType::QString)
        return v;
    const auto read = values::readDateTime(*static_cast<const QString *>(v.constData()));
    return read ? QVariant(read->toDateTime()) : QVariant(QMetaType::fromType<QDateTime>());
}

// A value given to SetItem, as the column's type. nullopt: it does not convert.
std::optional<QVariant> convertForColumn(const QVariant &value, ValueType type)
{
    if (value.isNull()) {
        switch (type) {
        case ValueType::String: return QVariant(QMetaType::fromType<QString>());
        case ValueType::Number: return Decimal::null();
        default: return QVariant(QMetaType::fromType<QDateTime>());
        }
    }
    const int id = value.metaType().id();
    switch (type) {
    case ValueType::String:
        if (id == QMetaType::QDateTime || id == QMetaType::QDate)
            return fromDbValue(value, ColumnKind::String);
        return value.toString();
    case ValueType::Number: {
        if (id == QMetaType::QString || id == QMetaType::QByteArray) {
            const QString text = value.toString();
            if (text.trimmed().isEmpty())   // an emptied field is NULL
                return Decimal::null();
            const auto d = values::parseNumber(text);   // anything else that is no number is refused
            return d ? std::optional<QVariant>(d->toVariant()) : std::nullopt;
        }
        const auto d = Decimal::fromVariant(value);
        if (!d || !d->isValid())
            return std::nullopt;
        return d->toVariant();
    }
    case ValueType::Date:
    case ValueType::DateTime: {
        if (id == QMetaType::QString && value.toString().trimmed().isEmpty())
            return QVariant(QMetaType::fromType<QDateTime>());
        if (id != QMetaType::QString && id != QMetaType::QDate && id != QMetaType::QDateTime)
            return std::nullopt;
        const QVariant v = fromDbValue(value, ColumnKind::DateTime);
        if (v.isNull())
            return std::nullopt;
        return v;
    }
    }
    return std::nullopt;
}

// A number argument: a number, or a text that reads as one; nullopt otherwise.
std::optional<Decimal> numberArgument(const QVariant &value)
{
    const int id = value.metaType().id();
    if (id == QMetaType::QString || id == QMetaType::QByteArray)
        return values::parseNumber(value.toString());
    const auto d = Decimal::fromVariant(value);
    return d && d->isValid() ? d : std::nullopt;
}

QDate dateArgument(const QVariant &value, bool *ok)
{
    *ok = true;
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        // A text that is not a date binds as NULL and so matches nothing.
        return values::parseDate(value.toString()).value_or(QDate());
    }
    default:
        *ok = value.isNull();
        return {};
    }
}

// A retrieval value as its argument's type, ready to bind (lists as QVariantList).
QVariant argumentValue(const Argument &argument, const QVariant &value, DbKind kind, const QString &definition)
{
    auto bad = [&](const QString &why) {
        return HostError(ErrBadArgument, QStringLiteral("%1: argument %2 %3").arg(definition, argument.name, why));
    };
    switch (argument.type) {
    case ArgumentType::String:
        if (value.isNull())
            return QVariant(QMetaType::fromType<QString>());
        if (value.metaType().id() == QMetaType::QStringList || value.metaType().id() == QMetaType::QVariantList)
            throw bad(QStringLiteral("takes one text, not a list"));
        return value.toString();
    case ArgumentType::Number: {
        if (value.isNull())
            return Decimal::null();
        const auto d = numberArgument(value);
        if (!d)
            throw bad(QStringLiteral("takes a number, not \"%1\"").arg(value.toString()));
        return d->toVariant();
    }
    case ArgumentType::Date: {
        bool ok = false;
        const QDate date = dateArgument(value, &ok);
        if (!ok)
            throw bad(QStringLiteral("takes a date"));
        return date.isValid() ? toDbValue(QDateTime(date, QTime(0, 0)), kind) : QVariant(QMetaType::fromType<QString>());
    }
    case ArgumentType::DateTime: {
        if (value.isNull())
            return QVariant(QMetaType::fromType<QString>());
        const int id = value.metaType().id();
        if (id != QMetaType::QDate && id != QMetaType::QDateTime && id != QMetaType::QString)
            throw bad(QStringLiteral("takes a date and time"));
        const QVariant dt = fromDbValue(value, ColumnKind::DateTime);
        return dt.isNull() ? QVariant(QMetaType::fromType<QString>()) : toDbValue(dt, kind);
    }
    case ArgumentType::StringList:
    case ArgumentType::NumberList: {
        QVariantList items;
        const int id = value.metaType().id();
        if (id == QMetaType::QStringList || id == QMetaType::QVariantList)
            items = value.toList();
        else if (!value.isNull())
            items.append(value);
        QVariantList bound;
        bound.reserve(items.size());
        for (const QVariant &item : std::as_const(items)) {
            if (argument.type == ArgumentType::StringList) {
                bound.append(item.toString());
            } else {
                const auto d = numberArgument(item);
                if (!d)
                    throw bad(QStringLiteral("takes numbers, not \"%1\"").arg(item.toString()));
                bound.append(d->toVariant());
            }
        }
        return bound;
    }
    }
    return value;
}

} // namespace

void setArgumentPrompter(ArgumentPrompter prompter)
{
    prompterSlot() = std::move(prompter);
}

const ArgumentPrompter &argumentPrompter()
{
    return prompterSlot();
}

struct DataStore::Private
{
    struct Row
    {
        QVector<QVariant> values;
        QVector<QVariant> original;   // the values as retrieved, kept on the first change
        QBitArray modified;           // per column, once changed
        RowStatus status = RowStatus::NotModified;
        bool selected = false;
    };

    std::shared_ptr<const Definition> definition;
    std::shared_ptr<const Compiled> compiled;
    Transaction *transaction = nullptr;

    QVector<Column> columns;          // of the rows held
    QHash<QString, int> names;        // lower-case name: column index, or -(field index + 1)
    mutable std::vector<Row> rows;    // mutable: date texts become date-times on first read
    QBitArray dateColumns;            // columns whose text values are parsed on first read
    std::vector<Row> deleted;
    QVector<QVector<int>> crosstabValueColumns;
    int currentRow = 0;
    QHash<QString, QString> texts;    // lower-case text object name: text set at run time

    std::vector<std::unique_ptr<DataStore>> nested;

    std::function<bool(int, int)> rowFocusChanging;
    std::function<int()> acceptText;

    mutable std::vector<std::vector<QVariant>> computedValues;   // [field][row - 1]
    mutable std::vector<std::vector<quint8>> computedState;      // 0 not yet, 1 evaluating, 2 done
    mutable QHash<QString, QVariant> aggregates;
    mutable GroupIndex groups;

    const Definition &def() const { return definition ? *definition : emptyDefinition(); }

    // The value of a cell (0-based row), a date text parsed in place on first read.
    const QVariant &cell(size_t row, int column) const
    {
        if (column < dateColumns.size() && dateColumns.testBit(column)) {
            QVariant &v = rows[row].values[column];   // non-const access detaches a shared row
            if (v.metaType().id() == QMetaType::QString)
                v = dateValue(v);
            return v;
        }
        return rows[row].values.at(column);
    }

    // Every cell of the given columns read once, for work over all rows (sort, pivot).
    void parseDates(const QVector<int> &columnsToParse) const
    {
        for (int c : columnsToParse) {
            if (c < dateColumns.size() && dateColumns.testBit(c)) {
                for (size_t r = 0; r < rows.size(); ++r)
                    cell(r, c);
            }
        }
    }

    void invalidate()
    {
        computedValues.clear();
        computedState.clear();
        aggregates.clear();
        groups.clear();
    }

    void setColumns(const QVector<Column> &rowColumns)
    {
        columns = rowColumns;
        dateColumns = QBitArray(columns.size());
        for (int i = 0; i < columns.size(); ++i) {
            if (columns.at(i).type == ValueType::Date || columns.at(i).type == ValueType::DateTime)
                dateColumns.setBit(i);
        }
        names.clear();
        recent = {};
        for (int i = 0; i < columns.size(); ++i)
            names.insert(columns.at(i).name.toLower(), i);
        if (compiled) {
            for (int i = 0; i < compiled->fields.size(); ++i)
                names.insert(compiled->fields.at(i).name.toLower(), -(i + 1));
        }
    }

    // Recent look-ups by the text's buffer: expressions and loops ask for the same
    // QString object again and again. Each entry holds a reference, so the buffer
    // cannot change while it is remembered.
    struct Recent
    {
        QString name;
        std::optional<int> index;
    };
    mutable std::array<Recent, 4> recent;
    mutable size_t nextRecent = 0;

    // Index as in names; std::nullopt when unknown.
    std::optional<int> lookup(const QString &name) const
    {
        for (const Recent &r : recent) {
            if (r.name.constData() == name.constData() && r.name.size() == name.size() && !name.isNull())
                return r.index;
        }
        const std::optional<int> index = lookupByHash(name);
        recent[nextRecent] = {name, index};
        nextRecent = (nextRecent + 1) % recent.size();
        return index;
    }

    std::optional<int> lookupByHash(const QString &name) const
    {
        auto it = names.constFind(name);
        if (it == names.constEnd()) {
            it = names.constFind(name.trimmed().toLower());
            if (it == names.constEnd())
                return std::nullopt;
        }
        return *it;
    }
};

DataStore::DataStore()
    : d(std::make_unique<Private>())
{
}

DataStore::DataStore(const QString &dataObject)
    : DataStore()
{
    setDataObject(dataObject);
}

DataStore::~DataStore() = default;

void DataStore::setDataObject(const QString &name)
{
    auto definition = Catalogue::instance().find(name);
    if (!definition)
        throw HostError(ErrUnknownDefinition, QStringLiteral("no report definition \"%1\"").arg(name));
    setDefinition(std::move(definition));
}

QString DataStore::dataObject() const
{
    return d->definition ? d->definition->name : QString();
}

void DataStore::setDefinition(std::shared_ptr<const Definition> definition)
{
    std::shared_ptr<const Compiled> compiled;
    if (definition)
        compiled = compile(definition);
    std::vector<std::unique_ptr<DataStore>> nested;
    if (definition && definition->layout == LayoutKind::Composite) {
        for (const Nested &n : definition->nested) {
            auto store = std::make_unique<DataStore>(n.definition);
            if (d->transaction)
                store->SetTransObject(*d->transaction);
            nested.push_back(std::move(store));
        }
    }
    d->definition = std::move(definition);
    d->compiled = std::move(compiled);
    d->nested = std::move(nested);
    d->texts.clear();
    d->rows.clear();
    d->deleted.clear();
    d->currentRow = 0;
    d->crosstabValueColumns.clear();
    QVector<Column> rowColumns;
    if (d->definition && d->definition->crosstab) {
        // The pivot columns of no rows: row keys and one column per value.
        const CrosstabPivot::Result empty = CrosstabPivot::build(*d->definition, {}, {});
        rowColumns = empty.columns;
        d->crosstabValueColumns = empty.valueColumns;
    } else if (d->definition) {
        rowColumns = d->definition->columns;
    }
    d->setColumns(rowColumns);
    d->invalidate();
    Q_EMIT rowsReset();
    Q_EMIT textsChanged();
}

std::shared_ptr<const Definition> DataStore::definitionPtr() const
{
    return d->definition;
}

void DataStore::SetTransObject(Transaction &transaction)
{
    d->transaction = &transaction;
    for (auto &store : d->nested)
        store->SetTransObject(transaction);
}

Transaction *DataStore::transObject() const
{
    return d->transaction;
}

int DataStore::Retrieve(const QVariantList &args)
{
    if (!d->definition)
        throw HostError(ErrUnknownDefinition, QStringLiteral("Retrieve without a dataobject"));
    if (!d->transaction)
        throw HostError(ErrNoTransaction, QStringLiteral("%1: Retrieve without SetTransObject").arg(dataObject()));
    const Definition &def = *d->definition;
    Transaction &tr = *d->transaction;

    // Missing values are asked for; values beyond the arguments are ignored.
    QVariantList values = args.mid(0, def.arguments.size());
    for (qsizetype i = values.size(); i < def.arguments.size(); ++i) {
        const ArgumentPrompter &prompter = argumentPrompter();
        std::optional<QVariant> answer;
        if (prompter)
            answer = prompter(def.arguments.at(i), def);
        if (!answer) {
            Trace::write(QStringLiteral("Retrieve %1: no value for the argument %2").arg(def.name, def.arguments.at(i).name));
            return -1;
        }
        values.append(*answer);
    }

    if (def.layout == LayoutKind::Composite) {
        int total = 0;
        bool failed = false;
        for (int i = 0; i < int(d->nested.size()); ++i) {
            QVariantList nestedArgs;
            const Nested &nested = def.nested.at(i);
            if (!nested.arguments.isEmpty()) {
                for (const QString &name : nested.arguments)
                    nestedArgs.append(values.value(def.argumentIndex(name)));
            } else {
                // No mapping given: by name where the composite has the name, else by position.
                const QVector<Argument> &wanted = d->nested.at(i)->definition().arguments;
                for (int k = 0; k < wanted.size(); ++k) {
                    const int byName = def.argumentIndex(wanted.at(k).name);
                    const int from = byName >= 0 ? byName : k;
                    if (from < values.size())
                        nestedArgs.append(values.at(from));
                }
            }
            const int n = d->nested.at(i)->Retrieve(nestedArgs);
            if (n < 0)
                failed = true;
            else
                total += n;
        }
        d->invalidate();
        Q_EMIT rowsReset();
        return failed ? -1 : total;
    }

    const DbKind kind = tr.kind();
    QVector<QVariant> bound;
    bound.reserve(values.size());
    for (int i = 0; i < values.size(); ++i)
        bound.append(argumentValue(def.arguments.at(i), values.at(i), kind, def.name));

    auto dropRows = [this] {
        d->rows.clear();
        d->deleted.clear();
        d->currentRow = 0;
        d->invalidate();
        Q_EMIT rowsReset();
    };
    auto databaseError = [&](const QString &text) {
        tr.sqlCode = -1;
        tr.sqlErrText = text;
        Trace::write(QStringLiteral("Retrieve %1: database error: %2").arg(def.name, text));
        dropRows();
        return -1;
    };
    if (!tr.isConnected())
        return databaseError(QStringLiteral("transaction not connected"));

    const QueryTemplate::Bound statement = d->compiled->query.bind([&](const QString &name) {
        return bound.value(def.argumentIndex(name));
    });

    // A failed statement would spoil the caller's open PostgreSQL transaction.
    const bool savepoint = kind == DbKind::PostgreSQL && tr.inTransaction() && tr.savepoint(QStringLiteral("wip_retrieve"));
    auto failed = [&](const QString &text) {
        if (savepoint && tr.rollbackToSavepoint(QStringLiteral("wip_retrieve")))
            tr.releaseSavepoint(QStringLiteral("wip_retrieve"));
        return databaseError(text);
    };

    // Rows come from SQLite's own library where the build can reach it, else
    // through Qt's driver; both give the same raw values.
    std::unique_ptr<SqliteRowReader> direct;
    QSqlQuery query(tr.database());
    if (kind == DbKind::SQLite && SqliteRowReader::usable(tr.database())) {
        QVector<QVariant> values;
        values.reserve(statement.values.size());
        for (const QVariant &v : statement.values)
            values.append(toDbValue(v, kind));
        QString error;
        direct = SqliteRowReader::prepare(tr.database(), statement.sql, values, &error);
        if (!direct)
            return failed(error);
    } else {
        query.setForwardOnly(true);
        bool ok = query.prepare(statement.sql);
        if (ok) {
            for (const QVariant &v : statement.values)
                query.addBindValue(toDbValue(v, kind));
            ok = query.exec();
        }
        if (!ok) {
            const QString text = query.lastError().text();
            query.finish();
            return failed(text);
        }
    }

    // Each definition column is read from the query column of its name.
    const QSqlRecord record = direct ? QSqlRecord() : query.record();
    QVector<int> source;
    QVector<ValueType> types;
    for (const Column &column : def.columns) {
        const int index = direct ? direct->columnIndex(column.name) : record.indexOf(column.name);
        if (index < 0) {
            QStringList returned;
            if (direct) {
                returned = direct->columnNames();
            } else {
                for (int i = 0; i < record.count(); ++i)
                    returned.append(record.fieldName(i));
            }
            direct.reset();
            query.finish();
            if (savepoint)
                tr.releaseSavepoint(QStringLiteral("wip_retrieve"));
            throw HostError(ErrUnknownColumn, QStringLiteral("%1: the query returns no column %2 (it returns %3)")
                                                  .arg(def.sourceFile.isEmpty() ? def.name : def.sourceFile, column.name,
                                                       returned.join(QLatin1String(", "))));
        }
        source.append(index);
        types.append(column.type);
    }

    std::vector<Private::Row> rows;
    const int columnCount = source.size();
    if (direct) {
        rows.reserve(256);
        // Numbers and texts, most of a report, go straight into their typed value;
        // the rest takes the same conversion as through Qt.
        using Storage = SqliteRowReader::Storage;
        SqliteRowReader &reader = *direct;
        auto readTyped = [&](int c, ValueType type) -> QVariant {
            switch (reader.storage(c)) {
            case Storage::Integer:
                if (type == ValueType::Number)
                    return Decimal::fromInt(reader.integer(c)).toVariant();
                break;
            case Storage::Real:
                if (type == ValueType::Number)
                    return Decimal::fromDouble(reader.number(c)).toVariant();
                break;
            case Storage::Text:
                if (type != ValueType::Number)
                    return QVariant(reader.text(c));
                break;
            case Storage::Null:
                if (type == ValueType::Number)
                    return Decimal::null();
                if (type == ValueType::String)
                    return QVariant(QMetaType::fromType<QString>());
                break;
            case Storage::Blob:
                break;
            }
            return typedValue(reader.value(c), type);
        };
        while (reader.next()) {
            Private::Row &row = rows.emplace_back();
            row.values.reserve(columnCount);
            for (int c = 0; c < columnCount; ++c)
                row.values.append(readTyped(source[c], types[c]));
        }
        const QString error = direct->error();
        direct.reset();
        if (!error.isEmpty())
            return failed(error);
    } else {
        const int size = query.size();
        rows.reserve(size > 0 ? size_t(size) : 256);
        while (query.next()) {
            Private::Row &row = rows.emplace_back();
            row.values.reserve(columnCount);
            for (int c = 0; c < columnCount; ++c)
                row.values.append(typedValue(query.value(source[c]), types[c]));
        }
        if (query.lastError().isValid() && query.lastError().type() != QSqlError::NoError) {
            const QString text = query.lastError().text();
            query.finish();
            return failed(text);
        }
        query.finish();
    }
    if (savepoint)
        tr.releaseSavepoint(QStringLiteral("wip_retrieve"));
    tr.sqlCode = 0;
    tr.sqlNRows = qint64(rows.size());
    tr.sqlErrText.clear();

    // Date texts are parsed here only where all rows need them: sort keys, crosstabs.
    auto parseDateColumn = [&rows, &def](int column) {
        const ValueType type = def.columns.at(column).type;
        if (type != ValueType::Date && type != ValueType::DateTime)
            return;
        for (Private::Row &row : rows)
            row.values[column] = dateValue(row.values.at(column));
    };

    // The definition's sort, stable, so equal rows keep the database's order.
    if (!def.sort.isEmpty()) {
        QVector<std::pair<int, bool>> keys;   // column, descending
        for (const QString &s : def.sort) {
            const QStringList parts = s.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const int column = parts.isEmpty() ? -1 : def.columnIndex(parts.at(0));
            if (column >= 0)
                keys.append({column, parts.size() > 1 && parts.at(1).compare(QLatin1String("D"), Qt::CaseInsensitive) == 0});
        }
        for (const auto &key : std::as_const(keys))
            parseDateColumn(key.first);
        // Keys once per row, then the row order; the rows move once at the end.
        const size_t keyCount = size_t(keys.size());
        std::vector<SortKey> rowKeys(rows.size() * keyCount);
        for (size_t r = 0; r < rows.size(); ++r) {
            for (size_t k = 0; k < keyCount; ++k)
                rowKeys[r * keyCount + k] = sortKey(rows[r].values.at(keys.at(int(k)).first));
        }
        std::vector<size_t> order(rows.size());
        for (size_t r = 0; r < order.size(); ++r)
            order[r] = r;
        std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
            for (size_t k = 0; k < keyCount; ++k) {
                const int c = compareSortKeys(rowKeys[a * keyCount + k], rowKeys[b * keyCount + k]);
                if (c != 0)
                    return keys.at(int(k)).second ? c > 0 : c < 0;
            }
            return false;
        });
        std::vector<Private::Row> sorted;
        sorted.reserve(rows.size());
        for (size_t r : order)
            sorted.push_back(std::move(rows[r]));
        rows = std::move(sorted);
    }

    if (def.crosstab) {
        for (int c = 0; c < def.columns.size(); ++c)
            parseDateColumn(c);
        std::vector<QVector<QVariant>> sourceRows;
        sourceRows.reserve(rows.size());
        for (Private::Row &row : rows)
            sourceRows.push_back(std::move(row.values));
        QVector<const Expression *> valueExpressions;
        for (const auto &e : d->compiled->crosstabValues)
            valueExpressions.append(e.get());
        CrosstabPivot::Result pivot = CrosstabPivot::build(def, std::move(sourceRows), valueExpressions);
        rows.clear();
        for (QVector<QVariant> &values : pivot.rows) {
            Private::Row row;
            row.values = std::move(values);
            rows.push_back(std::move(row));
        }
        d->crosstabValueColumns = pivot.valueColumns;
        d->setColumns(pivot.columns);
    }

    d->rows = std::move(rows);
    d->deleted.clear();
    d->currentRow = d->rows.empty() ? 0 : 1;
    d->invalidate();
    Q_EMIT rowsReset();
    return int(d->rows.size());
}

int DataStore::RowCount() const
{
    return int(d->rows.size());
}

void DataStore::Reset()
{
    d->rows.clear();
    d->deleted.clear();
    d->currentRow = 0;
    d->invalidate();
    for (auto &store : d->nested)
        store->Reset();
    Q_EMIT rowsReset();
}

// --- items -----------------------------------------------------------------------

namespace {

[[noreturn]] void throwRow(const QString &definition, int row, int count)
{
    throw HostError(ErrRowOutOfRange, QStringLiteral("%1: row %2 of %3").arg(definition).arg(row).arg(count));
}

[[noreturn]] void throwName(const QString &definition, const QString &name)
{
    throw HostError(ErrUnknownColumn, QStringLiteral("%1: no column or computed field \"%2\"").arg(definition, name));
}

} // namespace

QVariant DataStore::GetItem(int row, const QString &name) const
{
    if (row < 1 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    const auto index = d->lookup(name);
    if (!index)
        throwName(dataObject(), name);
    return item(row, name);
}

QString DataStore::GetItemString(int row, const QString &name) const
{
    const QVariant v = GetItem(row, name);
    if (v.isNull())
        return QString();
    if (Decimal::isDecimal(v))
        return values::numberText(*Decimal::fromVariant(v));
    switch (v.metaType().id()) {
    case QMetaType::Double: return values::numberText(v.toDouble());
    case QMetaType::QDateTime: return values::dateTimeText(v.toDateTime());
    case QMetaType::QDate: return values::dateText(v.toDate());
    default: return v.toString();
    }
}

double DataStore::GetItemNumber(int row, const QString &name) const
{
    return GetItemDecimal(row, name).toDouble();
}

Decimal DataStore::GetItemDecimal(int row, const QString &name) const
{
    const QVariant v = GetItem(row, name);
    if (v.isNull())
        return Decimal();
    const int id = v.metaType().id();
    const auto d = id == QMetaType::QString ? values::parseNumber(v.toString()) : Decimal::fromVariant(v);
    if (!d || !d->isValid())
        throw HostError(ErrBadValue, QStringLiteral("%1: \"%2\" of row %3 is not a number").arg(dataObject(), name).arg(row));
    return *d;
}

QDate DataStore::GetItemDate(int row, const QString &name) const
{
    return GetItemDateTime(row, name).date();
}

QDateTime DataStore::GetItemDateTime(int row, const QString &name) const
{
    const QVariant v = GetItem(row, name);
    if (v.isNull())
        return {};
    const QVariant dt = fromDbValue(v, ColumnKind::DateTime);
    if (dt.isNull())
        throw HostError(ErrBadValue, QStringLiteral("%1: \"%2\" of row %3 is not a date").arg(dataObject(), name).arg(row));
    return dt.toDateTime();
}

bool DataStore::IsNull(int row, const QString &name) const
{
    return GetItem(row, name).isNull();
}

void DataStore::SetItem(int row, const QString &name, const QVariant &value)
{
    if (row < 1 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    const auto index = d->lookup(name);
    if (!index)
        throwName(dataObject(), name);
    if (*index < 0)
        throw HostError(ErrUnknownColumn, QStringLiteral("%1: \"%2\" is a computed field and cannot be set").arg(dataObject(), name));
    const int column = *index;
    const std::optional<QVariant> converted = convertForColumn(value, d->columns.at(column).type);
    if (!converted)
        throw HostError(ErrBadValue, QStringLiteral("%1: \"%2\" cannot take the value \"%3\"")
                                         .arg(dataObject(), name, value.toString()));
    Private::Row &r = d->rows[size_t(row - 1)];
    if (r.original.isEmpty() && (r.status == RowStatus::NotModified || r.status == RowStatus::DataModified))
        r.original = r.values;
    if (r.modified.size() != d->columns.size())
        r.modified.resize(d->columns.size());
    r.values[column] = *converted;
    r.modified.setBit(column);
    if (r.status == RowStatus::NotModified)
        r.status = RowStatus::DataModified;
    else if (r.status == RowStatus::New)
        r.status = RowStatus::NewModified;
    d->invalidate();
    Q_EMIT itemChanged(row, d->columns.at(column).name);
}

int DataStore::AcceptText()
{
    return d->acceptText ? d->acceptText() : 1;
}

void DataStore::setAcceptTextHook(std::function<int()> hook)
{
    d->acceptText = std::move(hook);
}

// --- rows ------------------------------------------------------------------------

int DataStore::InsertRow(int row)
{
    if (!d->definition)
        throw HostError(ErrUnknownDefinition, QStringLiteral("InsertRow without a dataobject"));
    if (row < 0 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    Private::Row r;
    r.status = RowStatus::New;
    r.values.resize(d->columns.size());
    for (int c = 0; c < d->columns.size(); ++c)
        r.values[c] = *convertForColumn(QVariant(), d->columns.at(c).type);
    const int at = row == 0 ? RowCount() + 1 : row;
    d->rows.insert(d->rows.begin() + (at - 1), std::move(r));
    if (d->currentRow >= at)
        ++d->currentRow;
    const bool first = d->currentRow == 0;
    if (first)
        d->currentRow = 1;
    d->invalidate();
    Q_EMIT rowInserted(at);
    if (first)
        Q_EMIT currentRowChanged(1);
    return at;
}

void DataStore::DeleteRow(int row)
{
    const int at = row == 0 ? d->currentRow : row;
    if (at < 1 || at > RowCount())
        throwRow(dataObject(), at, RowCount());
    Private::Row r = std::move(d->rows[size_t(at - 1)]);
    d->rows.erase(d->rows.begin() + (at - 1));
    if (r.status == RowStatus::NotModified || r.status == RowStatus::DataModified)
        d->deleted.push_back(std::move(r));
    const int before = d->currentRow;
    if (d->currentRow > at || d->currentRow > RowCount())
        --d->currentRow;
    d->invalidate();
    Q_EMIT rowDeleted(at);
    if (d->currentRow != before)
        Q_EMIT currentRowChanged(d->currentRow);
}

int DataStore::Find(const QString &expression, int start, int end) const
{
    QString error;
    const auto parsed = Expression::parse(expression, &error);
    if (!parsed)
        return -1;
    // A misspelt column is a faulty expression, not a search that finds nothing.
    for (const QString &name : parsed->referencedNames()) {
        if (!hasName(name))
            return -1;
    }
    const int count = RowCount();
    if (count == 0)
        return 0;
    start = std::clamp(start, 1, count);
    end = std::clamp(end, 1, count);
    const int step = start <= end ? 1 : -1;
    for (int row = start;; row += step) {
        if (Expression::isTrue(parsed->evaluate(*this, row)))
            return row;
        if (row == end)
            break;
    }
    return 0;
}

// --- current row and selection -------------------------------------------------------

int DataStore::GetRow() const
{
    return d->currentRow;
}

bool DataStore::setCurrentRow(int row)
{
    if (RowCount() == 0)
        return false;
    row = std::clamp(row, 1, RowCount());
    if (row == d->currentRow)
        return true;
    if (d->rowFocusChanging && !d->rowFocusChanging(d->currentRow, row))
        return false;
    d->currentRow = row;
    Q_EMIT currentRowChanged(row);
    return true;
}

int DataStore::ScrollToRow(int row)
{
    return setCurrentRow(row) ? 1 : -1;
}

void DataStore::setRowFocusChangingHook(std::function<bool(int, int)> hook)
{
    d->rowFocusChanging = std::move(hook);
}

void DataStore::SelectRow(int row, bool select)
{
    if (row == 0) {
        for (auto &r : d->rows)
            r.selected = select;
    } else {
        if (row < 1 || row > RowCount())
            throwRow(dataObject(), row, RowCount());
        d->rows[size_t(row - 1)].selected = select;
    }
    Q_EMIT selectionChanged();
}

bool DataStore::IsSelected(int row) const
{
    return row >= 1 && row <= RowCount() && d->rows[size_t(row - 1)].selected;
}

int DataStore::GetSelectedRow(int after) const
{
    for (int row = std::max(after + 1, 1); row <= RowCount(); ++row) {
        if (d->rows[size_t(row - 1)].selected)
            return row;
    }
    return 0;
}

// --- texts and Modify ------------------------------------------------------------------

namespace {

// The DataStore (this one or a nested one) that holds the text object.
DataStore *textOwner(DataStore *store, const QString &name)
{
    if (store->definition().textObject(name))
        return store;
    for (int i = 0; i < store->nestedCount(); ++i) {
        if (DataStore *owner = textOwner(store->nestedStore(i), name))
            return owner;
    }
    return nullptr;
}

} // namespace

QString DataStore::Modify(const QString &text)
{
    const ModifyText parsed = ModifyText::parse(text);
    if (!parsed.isValid())
        return parsed.error();
    // Everything is checked before anything changes.
    QVector<std::pair<DataStore *, const ModifyText::Assignment *>> targets;
    for (const ModifyText::Assignment &a : parsed.assignments()) {
        DataStore *owner = textOwner(this, a.object);
        if (!owner)
            return QStringLiteral("Unknown object \"%1\" at position %2").arg(a.object).arg(a.position);
        if (a.attribute != QLatin1String("text"))
            return QStringLiteral("Unknown attribute \"%1.%2\" at position %3").arg(a.object, a.attribute).arg(a.position);
        targets.append({owner, &a});
    }
    for (const auto &[owner, a] : targets)
        owner->setObjectText(a->object, a->value);
    return QString();
}

void DataStore::setObjectText(const QString &name, const QString &text)
{
    DataStore *owner = textOwner(this, name);
    if (!owner)
        throw HostError(ErrUnknownColumn, QStringLiteral("%1: no text object \"%2\"").arg(dataObject(), name));
    owner->d->texts.insert(name.toLower(), text);
    Q_EMIT owner->textsChanged();
    if (owner != this)
        Q_EMIT textsChanged();
}

QString DataStore::objectText(const QString &name) const
{
    const QString key = name.toLower();
    const auto it = d->texts.constFind(key);
    if (it != d->texts.constEnd())
        return *it;
    if (const TextObject *t = definition().textObject(key))
        return t->text;
    for (const auto &store : d->nested) {
        if (textOwner(store.get(), key))
            return store->objectText(key);
    }
    return QString();
}

// --- row states and write-back -------------------------------------------------------------

RowStatus DataStore::rowStatus(int row) const
{
    if (row < 1 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    return d->rows[size_t(row - 1)].status;
}

bool DataStore::isItemModified(int row, const QString &column) const
{
    if (row < 1 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    const auto index = d->lookup(column);
    if (!index || *index < 0)
        throwName(dataObject(), column);
    const QBitArray &bits = d->rows[size_t(row - 1)].modified;
    return *index < bits.size() && bits.testBit(*index);
}

int DataStore::ModifiedCount() const
{
    return int(std::count_if(d->rows.begin(), d->rows.end(), [](const Private::Row &r) {
        return r.status == RowStatus::DataModified || r.status == RowStatus::NewModified;
    }));
}

int DataStore::DeletedCount() const
{
    return int(d->deleted.size());
}

QVariant DataStore::deletedItem(int deletedRow, const QString &column) const
{
    if (deletedRow < 1 || deletedRow > DeletedCount())
        throwRow(dataObject(), deletedRow, DeletedCount());
    const auto index = d->lookup(column);
    if (!index || *index < 0)
        throwName(dataObject(), column);
    const Private::Row &r = d->deleted[size_t(deletedRow - 1)];
    const QVariant &v = r.original.isEmpty() ? r.values.at(*index) : r.original.at(*index);
    return d->dateColumns.testBit(*index) ? dateValue(v) : v;
}

bool DataStore::Update()
{
    if (!d->transaction)
        throw HostError(ErrNoTransaction, QStringLiteral("%1: Update without SetTransObject").arg(dataObject()));
    return Update(*d->transaction);
}

bool DataStore::Update(Transaction &tr)
{
    const Definition &def = definition();
    if (def.updateTable.isEmpty() || def.keyColumns.isEmpty())
        throw HostError(ErrGeneric, QStringLiteral("%1: the report is not updatable").arg(dataObject()));

    // Database column of each result column that belongs to the update table ("" otherwise).
    QStringList dbColumns;
    for (const Column &c : def.columns) {
        const int dot = c.dbName.indexOf(QLatin1Char('.'));
        if (c.dbName.isEmpty())
            dbColumns.append(c.name);
        else if (dot < 0)
            dbColumns.append(c.dbName);
        else if (c.dbName.left(dot).compare(def.updateTable, Qt::CaseInsensitive) == 0)
            dbColumns.append(c.dbName.mid(dot + 1));
        else
            dbColumns.append(QString());
    }
    QVector<int> keys;
    for (const QString &k : def.keyColumns)
        keys.append(def.columnIndex(k));

    auto whereKeys = [&](const QVector<QVariant> &values, QVariantList *bind) {
        QStringList terms;
        for (int k : keys) {
            terms.append(dbColumns.at(k) + QLatin1String(" = ?"));
            bind->append(values.at(k));
        }
        return terms.join(QLatin1String(" and "));
    };

    QString failure;
    auto run = [&](const QString &sql, const QVariantList &values, bool mustTouch) {
        if (!tr.execute(sql, values)) {
            failure = tr.sqlErrText;
            return false;
        }
        if (mustTouch && tr.sqlNRows != 1) {
            failure = QStringLiteral("%1 rows matched the key instead of 1 [%2]").arg(tr.sqlNRows).arg(sql);
            return false;
        }
        return true;
    };

    TransactionGuard guard(tr);
    if (!guard.active()) {
        Trace::write(QStringLiteral("Update %1: %2").arg(def.name, tr.sqlErrText));
        return false;
    }
    bool ok = true;
    for (const Private::Row &r : d->deleted) {
        QVariantList bind;
        const QString where = whereKeys(r.original.isEmpty() ? r.values : r.original, &bind);
        if (!(ok = run(QStringLiteral("delete from %1 where %2").arg(def.updateTable, where), bind, true)))
            break;
    }
    for (size_t i = 0; ok && i < d->rows.size(); ++i) {
        const Private::Row &r = d->rows[i];
        if (r.status == RowStatus::DataModified) {
            QStringList sets;
            QVariantList bind;
            for (int c = 0; c < d->columns.size(); ++c) {
                if (c < r.modified.size() && r.modified.testBit(c) && !dbColumns.at(c).isEmpty()) {
                    sets.append(dbColumns.at(c) + QLatin1String(" = ?"));
                    bind.append(r.values.at(c));
                }
            }
            if (sets.isEmpty())
                continue;
            const QString where = whereKeys(r.original.isEmpty() ? r.values : r.original, &bind);
            ok = run(QStringLiteral("update %1 set %2 where %3").arg(def.updateTable, sets.join(QLatin1String(", ")), where),
                     bind, true);
        } else if (r.status == RowStatus::NewModified) {
            QStringList names;
            QStringList marks;
            QVariantList bind;
            for (int c = 0; c < d->columns.size(); ++c) {
                if (!dbColumns.at(c).isEmpty() && !r.values.at(c).isNull()) {
                    names.append(dbColumns.at(c));
                    marks.append(QStringLiteral("?"));
                    bind.append(r.values.at(c));
                }
            }
            if (names.isEmpty())
                continue;
            ok = run(QStringLiteral("insert into %1 (%2) values (%3)")
                         .arg(def.updateTable, names.join(QLatin1String(", ")), marks.join(QLatin1String(", "))),
                     bind, false);
        }
    }
    if (!ok) {
        guard.rollback();
        tr.sqlCode = -1;
        tr.sqlErrText = failure;
        Trace::write(QStringLiteral("Update %1 failed, nothing written: %2").arg(def.name, failure));
        return false;
    }
    if (!guard.commit()) {
        Trace::write(QStringLiteral("Update %1 failed at commit: %2").arg(def.name, tr.sqlErrText));
        return false;
    }
    ResetUpdate();
    return true;
}

void DataStore::ResetUpdate()
{
    for (Private::Row &r : d->rows) {
        r.status = RowStatus::NotModified;
        r.original.clear();
        r.modified.clear();
    }
    d->deleted.clear();
}

// --- saved report --------------------------------------------------------------------------

void DataStore::SaveAs(const QString &file, SaveAsType type, bool headings) const
{
    switch (type) {
    case SaveAsType::PSReport:
        SavedReport::write(*this, file);
        return;
    case SaveAsType::Json:
        ReportOutput::writeFile(file, ReportOutput::toJson(*this));
        return;
    case SaveAsType::Csv:
        ReportOutput::writeFile(file, ReportOutput::toCsv(*this, headings));
        return;
    }
}

// --- composites -----------------------------------------------------------------------------

int DataStore::nestedCount() const
{
    return int(d->nested.size());
}

DataStore *DataStore::nestedStore(int index)
{
    return index >= 0 && index < nestedCount() ? d->nested[size_t(index)].get() : nullptr;
}

DataStore *DataStore::nestedStore(const QString &definitionName)
{
    for (auto &store : d->nested) {
        if (store->dataObject().compare(definitionName, Qt::CaseInsensitive) == 0)
            return store.get();
    }
    return nullptr;
}

// --- ReportData / ExpressionContext ------------------------------------------------------------

const Definition &DataStore::definition() const
{
    return d->def();
}

QVector<Column> DataStore::columns() const
{
    QVector<Column> result = d->columns;
    if (d->definition && d->definition->crosstab) {
        // The totals follow the value columns, as the rows show them.
        for (const ComputedField &t : d->definition->crosstab->totals) {
            Column c;
            c.name = t.name;
            c.type = t.type;
            c.caption = t.caption;
            c.format = t.format;
            c.align = t.align;
            c.visible = t.visible;
            result.append(c);
        }
    }
    return result;
}

QVector<const ReportData *> DataStore::nested() const
{
    QVector<const ReportData *> result;
    for (const auto &store : d->nested)
        result.append(store.get());
    return result;
}

int DataStore::rowCount() const
{
    return RowCount();
}

bool DataStore::hasName(const QString &name) const
{
    return d->lookup(name).has_value();
}

QVariant DataStore::item(int row, const QString &name) const
{
    const auto index = d->lookup(name);
    if (!index || row < 1 || row > RowCount())
        return {};
    if (*index >= 0)
        return d->cell(size_t(row - 1), *index);

    // A computed field, evaluated on first use and kept until the rows change.
    const size_t field = size_t(-*index - 1);
    const size_t count = d->compiled->fields.size();
    if (d->computedValues.size() != count) {
        d->computedValues.assign(count, {});
        d->computedState.assign(count, {});
    }
    std::vector<QVariant> &values = d->computedValues[field];
    std::vector<quint8> &state = d->computedState[field];
    if (values.size() != d->rows.size()) {
        values.assign(d->rows.size(), QVariant());
        state.assign(d->rows.size(), 0);
    }
    const size_t r = size_t(row - 1);
    if (state[r] == 2)
        return values[r];
    if (state[r] == 1)   // a field that reads itself, through others or directly
        return {};
    state[r] = 1;
    QVariant result = d->compiled->expressions[field]->evaluate(*this, row);
    if (result.isNull())   // NULL of the field's type, like a column's NULL
        result = *convertForColumn(QVariant(), d->compiled->fields.at(int(field)).type);
    // The evaluation may have dropped the caches (it does not change rows, but be safe).
    if (d->computedValues.size() == count && d->computedValues[field].size() == d->rows.size()) {
        d->computedValues[field][r] = result;
        d->computedState[field][r] = 2;
    }
    return result;
}

std::pair<int, int> DataStore::groupRange(int level, int row) const
{
    if (level <= 0 || definition().groups.isEmpty())
        return {1, RowCount()};
    if (!d->groups.isBuilt()) {
        d->groups.build(definition().groups, RowCount(), [this](const QString &column, int r) {
            const auto index = d->lookup(column);
            return index && *index >= 0 ? d->cell(size_t(r - 1), *index) : QVariant();
        });
    }
    return d->groups.range(level, row);
}

std::pair<int, int> DataStore::crosstabRange(int row) const
{
    return {1, RowCount()};
}

QVariant DataStore::crosstabSum(int n, int row) const
{
    if (n < 1 || n > d->crosstabValueColumns.size() || row < 1 || row > RowCount())
        return {};
    Decimal sum;
    bool any = false;
    for (int column : d->crosstabValueColumns.at(n - 1)) {
        const QVariant v = d->rows[size_t(row - 1)].values.at(column);
        if (const auto value = Decimal::fromVariant(v)) {
            sum += *value;
            any = true;
        }
    }
    return any ? sum.toVariant() : QVariant();
}

QHash<QString, QVariant> *DataStore::aggregateCache() const
{
    return &d->aggregates;
}

} // namespace wip::reports
