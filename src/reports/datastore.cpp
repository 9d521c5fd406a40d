#include "reports/datastore.h"

#include "reports/argumentcontext.h"
#include "reports/catalogue.h"
#include "reports/compileddefinition.h"
#include "reports/computedvalues.h"
#include "reports/crosstabpivot.h"
#include "reports/expression.h"
#include "reports/groupindex.h"
#include "reports/modifytext.h"
#include "reports/nameindex.h"
#include "reports/pendingedit.h"
#include "reports/reportoutput.h"
#include "reports/reportupdate.h"
#include "reports/retrieval.h"
#include "reports/savedreport.h"
#include "runtime/decimal.h"
#include "runtime/hosterror.h"
#include "runtime/longwork.h"
#include "runtime/sqlvalue.h"
#include "runtime/trace.h"
#include "runtime/transaction.h"
#include "runtime/values.h"

#include <algorithm>
#include <array>

namespace wip::reports {

namespace {

const Definition &emptyDefinition()
{
    static const Definition empty;
    return empty;
}

[[noreturn]] void throwRow(const QString &definition, int row, int count)
{
    throw HostError(ErrRowOutOfRange, QStringLiteral("%1: row %2 of %3").arg(definition).arg(row).arg(count));
}

[[noreturn]] void throwName(const QString &definition, const QString &name)
{
    throw HostError(ErrUnknownColumn, QStringLiteral("%1: no column or computed field \"%2\"").arg(definition, name));
}

} // namespace

struct DataStore::Private
{
    std::shared_ptr<const Definition> definition;
    std::shared_ptr<const CompiledDefinition> compiled;
    QVariantList retrievedWith;   // the values of the last Retrieve, one per argument
    QString windowTitle;
    Transaction *transaction = nullptr;

    RowTable rows;                    // rows are 0-based in it, 1-based outside
    NameIndex names;                  // column index, or -(field index + 1)
    QVector<QVector<int>> crosstabValueColumns;
    int currentRow = 0;
    QHash<QString, QString> texts;    // lower-case text object name: text set at run time

    std::vector<std::unique_ptr<DataStore>> nested;

    std::function<bool(int, int)> rowFocusChanging;
    std::unique_ptr<PendingEdit> edit;

    mutable ComputedValues computed;
    mutable GroupIndex groups;

    const Definition &def() const { return definition ? *definition : emptyDefinition(); }
    int rowCount() const { return rows.rowCount(); }

    void invalidate()
    {
        computed.clear();
        groups.clear();
    }

    void dropRows()
    {
        rows.clear();
        currentRow = 0;
        invalidate();
    }

    // Takes the columns the rows have now (a crosstab's change with its pivot).
    void indexNames()
    {
        names.clear();
        const QVector<Column> &columns = rows.columns();
        for (int i = 0; i < columns.size(); ++i)
            names.insert(columns.at(i).name, i);
        if (compiled) {
            for (int i = 0; i < compiled->fields.size(); ++i)
                names.insert(compiled->fields.at(i).name, -(i + 1));
        }
    }

    std::optional<int> lookup(const QString &name) const { return names.lookup(name); }

    // The column index of a name, or a host failure naming it (computed fields too
    // when allowed).
    int columnOf(const QString &dataObject, const QString &name) const
    {
        const auto index = lookup(name);
        if (!index || *index < 0)
            throwName(dataObject, name);
        return *index;
    }
};

DataStore::DataStore()
    : d(std::make_unique<Private>())
{
    d->edit = std::make_unique<PendingEdit>(*this);
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
    std::shared_ptr<const CompiledDefinition> compiled;
    if (definition)
        compiled = CompiledDefinition::of(definition);
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
    d->retrievedWith.clear();
    d->texts.clear();
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
    d->rows.reset(rowColumns);
    d->indexNames();
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
    const std::optional<QVariantList> values = RetrievalArguments::complete(def, args);
    if (!values)
        return -1;
    LongWork work(QStringLiteral("正在读取报表… Retrieving the report…"));
    const QVariantList shownWith = d->retrievedWith;
    d->retrievedWith = *values;

    if (def.layout == LayoutKind::Composite) {
        int total = 0;
        bool failed = false;
        for (int i = 0; i < int(d->nested.size()); ++i) {
            DataStore &store = *d->nested.at(size_t(i));
            const int n = store.Retrieve(RetrievalArguments::forNested(def, i, store.definition(), *values));
            failed = failed || n < 0;
            total += std::max(n, 0);
        }
        d->invalidate();
        Q_EMIT rowsReset();
        return failed ? -1 : total;
    }

    const QVariantList typed = RetrievalArguments::typed(def, *values);
    Retrieval retrieval(def, *d->compiled, *d->transaction);
    int count = -1;
    // The new rows come in beside the shown ones, which stay when the person
    // waiting cancels.
    RowTable fresh;
    try {
        count = retrieval.run(typed, fresh);
    } catch (...) {
        d->dropRows();
        d->indexNames();
        Q_EMIT rowsReset();
        throw;
    }
    if (count < 0 && retrieval.cancelled()) {
        d->retrievedWith = shownWith;
        return -1;
    }
    d->rows = std::move(fresh);
    if (def.crosstab && count >= 0)
        d->crosstabValueColumns = retrieval.crosstabValueColumns();
    d->indexNames();
    d->currentRow = count > 0 ? 1 : 0;
    d->invalidate();
    Q_EMIT rowsReset();
    return count;
}

DataStore::Figures DataStore::RetrieveFigures(const QVariantList &args, const QStringList &computed)
{
    if (!d->definition || !d->transaction || d->definition->layout == LayoutKind::Composite)
        return Figures{Retrieve(args), {}};
    const std::optional<QVariantList> values = RetrievalArguments::complete(*d->definition, args);
    if (!values)
        return Figures{-1, {}};
    QStringList columns;   // the column each field sums; an empty one where a field is no such sum
    for (const QString &name : computed)
        columns.append(d->compiled->summedColumn(name));
    Figures figures;
    Retrieval retrieval(*d->definition, *d->compiled, *d->transaction);
    const auto summary = columns.contains(QString()) ? std::nullopt
        : retrieval.summarize(RetrievalArguments::typed(*d->definition, *values), columns);
    if (summary) {
        Reset();
        d->retrievedWith = *values;
        figures.rows = summary->rows;
        for (int i = 0; i < summary->sums.size(); ++i)
            figures.values.insert(computed.at(i), summary->sums.at(i).isValid() ? summary->sums.at(i) : Decimal());
        return figures;
    }
    figures.rows = Retrieve(*values);
    for (const QString &name : computed)
        figures.values.insert(name, figures.rows > 0 ? GetItemDecimal(1, name) : Decimal());
    return figures;
}

DataStore::CrosstabFigures DataStore::RetrieveCrosstabFigures(const QVariantList &args, const QStringList &totals)
{
    if (!d->definition || !d->definition->crosstab)
        throw HostError(ErrBadArgument, QStringLiteral("%1: no crosstab to take row totals of").arg(dataObject()));
    if (!d->transaction)
        return CrosstabFigures{Retrieve(args), {}};   // fails as Retrieve does
    const Definition &def = *d->definition;
    const std::optional<QVariantList> values = RetrievalArguments::complete(def, args);
    if (!values)
        return CrosstabFigures{};
    QStringList columns;   // the column each total sums; an empty one where a total is no such sum
    for (const QString &name : totals)
        columns.append(d->compiled->crosstabTotalColumn(name));
    const QStringList &keys = def.crosstab->rows;

    CrosstabFigures figures;
    Retrieval retrieval(def, *d->compiled, *d->transaction);
    const auto grouped = columns.contains(QString()) ? std::nullopt
        : retrieval.summarizeByGroup(RetrievalArguments::typed(def, *values), keys, columns);
    if (grouped) {
        Reset();
        d->retrievedWith = *values;
        if (grouped->rows < 0)
            return figures;
        figures.rows = int(grouped->groups.size());
        for (const Retrieval::Group &group : grouped->groups) {
            PivotRowFigures row{group.keys, {}};
            for (int i = 0; i < totals.size(); ++i)
                row.values.insert(totals.at(i), group.sums.at(i));
            figures.pivotRows.append(row);
        }
        return figures;
    }
    figures.rows = Retrieve(*values);
    for (int r = 1; r <= figures.rows; ++r) {
        PivotRowFigures row;
        for (const QString &key : keys)
            row.keys.append(GetItem(r, key));
        for (const QString &name : totals)
            row.values.insert(name, GetItemDecimal(r, name));
        figures.pivotRows.append(row);
    }
    return figures;
}

int DataStore::RowCount() const
{
    return d->rowCount();
}

void DataStore::Reset()
{
    d->dropRows();
    for (auto &store : d->nested)
        store->Reset();
    Q_EMIT rowsReset();
}

// --- items -----------------------------------------------------------------------

QVariant DataStore::GetItem(int row, const QString &name) const
{
    if (row < 1 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    if (!d->lookup(name))
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
    const Column &c = d->rows.columns().at(column);
    const std::optional<QVariant> converted = ColumnData::convert(value, c.type);
    if (!converted)
        throw HostError(ErrBadValue, QStringLiteral("%1: \"%2\" cannot take the value \"%3\"")
                                         .arg(dataObject(), name, value.toString()));
    d->rows.set(row - 1, column, *converted);
    d->computed.clear();
    if (isGroupColumn(c.name))
        d->groups.clear();
    Q_EMIT itemChanged(row, c.name);
}

bool DataStore::fits(const QString &column, const QVariant &value) const
{
    const auto index = d->lookup(column);
    return index && *index >= 0 && ColumnData::convert(value, d->rows.columns().at(*index).type).has_value();
}

int DataStore::AcceptText()
{
    return d->edit->accept();
}

PendingEdit &DataStore::edit()
{
    return *d->edit;
}

// --- rows ------------------------------------------------------------------------

int DataStore::InsertRow(int row)
{
    if (!d->definition)
        throw HostError(ErrUnknownDefinition, QStringLiteral("InsertRow without a dataobject"));
    if (row < 0 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    const int at = row == 0 ? RowCount() + 1 : row;
    d->rows.insertRow(at - 1);
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
    d->rows.deleteRow(at - 1);
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
        for (int r = 0; r < RowCount(); ++r)
            d->rows.state(r).selected = select;
    } else {
        if (row < 1 || row > RowCount())
            throwRow(dataObject(), row, RowCount());
        d->rows.state(row - 1).selected = select;
    }
    Q_EMIT selectionChanged();
}

bool DataStore::IsSelected(int row) const
{
    return row >= 1 && row <= RowCount() && d->rows.state(row - 1).selected;
}

int DataStore::GetSelectedRow(int after) const
{
    for (int row = std::max(after + 1, 1); row <= RowCount(); ++row) {
        if (d->rows.state(row - 1).selected)
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
    if (const TextObject *t = definition().textObject(key)) {
        // A heading that follows the arguments, once there are arguments to follow.
        if (!t->expression.isEmpty() && !d->retrievedWith.isEmpty())
            return ArgumentContext::text(t->expression, definition(), d->retrievedWith);
        return t->text;
    }
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
    return d->rows.state(row - 1).status;
}

bool DataStore::isItemModified(int row, const QString &column) const
{
    if (row < 1 || row > RowCount())
        throwRow(dataObject(), row, RowCount());
    const int index = d->columnOf(dataObject(), column);
    const QBitArray &bits = d->rows.state(row - 1).modified;
    return index < bits.size() && bits.testBit(index);
}

int DataStore::ModifiedCount() const
{
    int n = 0;
    for (int r = 0; r < RowCount(); ++r) {
        const RowStatus s = d->rows.state(r).status;
        n += s == RowStatus::DataModified || s == RowStatus::NewModified ? 1 : 0;
    }
    return n;
}

int DataStore::DeletedCount() const
{
    return int(d->rows.deleted().size());
}

QVariant DataStore::deletedItem(int deletedRow, const QString &column) const
{
    if (deletedRow < 1 || deletedRow > DeletedCount())
        throwRow(dataObject(), deletedRow, DeletedCount());
    const int index = d->columnOf(dataObject(), column);
    return d->rows.deleted()[size_t(deletedRow - 1)].values.at(index);
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
    if (!ReportUpdate(def, d->rows).write(tr))
        return false;
    ResetUpdate();
    return true;
}

void DataStore::ResetUpdate()
{
    d->rows.resetUpdate();
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
    QVector<Column> result = d->rows.columns();
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

QVariantList DataStore::retrievalArguments() const
{
    return d->retrievedWith;
}

void DataStore::setRetrievalArguments(const QVariantList &values)
{
    d->retrievedWith = values;
}

QString DataStore::windowTitle() const
{
    return d->windowTitle;
}

void DataStore::setWindowTitle(const QString &title)
{
    d->windowTitle = title;
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
        return d->rows.value(row - 1, *index);
    return d->computed.value(*d->compiled, -*index - 1, row, *this, RowCount());
}

bool DataStore::isGroupColumn(const QString &column) const
{
    for (const Group &g : definition().groups) {
        for (const QString &by : g.by) {
            if (by.compare(column, Qt::CaseInsensitive) == 0)
                return true;
        }
    }
    return false;
}

std::pair<int, int> DataStore::groupRange(int level, int row) const
{
    if (level <= 0 || definition().groups.isEmpty())
        return {1, RowCount()};
    if (!d->groups.isBuilt()) {
        d->groups.build(definition().groups, RowCount(), [this](const QString &column, int a, int b) {
            const auto index = d->lookup(column);
            return !index || *index < 0 || d->rows.column(*index).compare(a - 1, b - 1) == 0;
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
        const ColumnData &values = d->rows.column(column);
        if (!values.isNull(row - 1)) {
            sum += values.decimalAt(row - 1);
            any = true;
        }
    }
    return any ? sum.toVariant() : QVariant();
}

AggregateCache *DataStore::aggregateCache() const
{
    return d->computed.aggregateCache();
}

} // namespace wip::reports
