#pragma once

#include "reports/definition.h"
#include "reports/reportdata.h"
#include "reports/retrievalarguments.h"
#include "reports/rowtable.h"
#include "runtime/decimal.h"

#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace wip {
class Transaction;
}

namespace wip::reports {

class PendingEdit;

// Formats of SaveAs.
enum class SaveAsType {
    PSReport,      // our saved-report file ("temp.psr"), read back by SavedReport
    Json,          // the command line's JSON (reportoutput.h)
    Csv,           // captions and raw values, UTF-8 with BOM
};

// The rows of one report definition, retrieved through a transaction: the
// non-visual DataStore of the windows, and the data behind the report control.
// It holds the rows (RowTable: typed columns and row states) and runs the host
// operations on them; retrieval (Retrieval, over a RowSource), its arguments
// (RetrievalArguments) and writing back (ReportUpdate) are classes of their own.
//
// Rows are 1-based. Names of columns and computed fields compare without regard to
// case. Calls that cannot be carried out (a row out of range, an unknown name, an
// unknown definition) throw HostError, which ends the calling event handler.
//
// Its cells are read through one family on each face. Event handlers and the
// report control use the host operations below (RowCount, GetItemString,
// GetItemNumber, GetItemDecimal ... which throw for a row or name that is not
// there). Everything that reads a report as data - expressions, the renderer,
// the exports, saved reports - takes it as a ReportData and reads rowCount() and
// item(row, name); those are private here so that the two faces never mix.
//
// A crosstab definition holds the pivoted rows (columns()); a composite holds no
// rows of its own (RowCount() 0) and retrieves its nested reports (nested()).
class DataStore : public QObject, public ReportData
{
    Q_OBJECT

public:
    DataStore();
    explicit DataStore(const QString &dataObject);   // throws like setDataObject
    ~DataStore() override;

    // --- definition -----------------------------------------------------------
    // Makes the catalogue's definition of that name current (any case) and drops
    // every row. Unknown name: HostError(ErrUnknownDefinition).
    void setDataObject(const QString &name);
    QString dataObject() const;                       // lower-case name, "" when none
    // Uses a definition that is not (or not only) in the catalogue; drops every row.
    void setDefinition(std::shared_ptr<const Definition> definition);
    std::shared_ptr<const Definition> definitionPtr() const;

    // --- retrieval ------------------------------------------------------------
    void SetTransObject(Transaction &transaction);
    Transaction *transObject() const;

    // Binds args to the declared arguments in order (values beyond them are
    // ignored; missing ones are asked of the ArgumentPrompter), runs the query and
    // replaces the rows, sorted by the definition's sort. Returns the row count, or
    // -1 on a database error (driver message in the trace) or a cancelled prompt.
    // A stringlist argument takes a QStringList or a QVariantList (an empty list
    // matches nothing); a date argument takes QDate, QDateTime or "yyyy-mm-dd".
    // No transaction: HostError(ErrNoTransaction). A definition column that the
    // query does not return: HostError(ErrUnknownColumn) naming it. A composite
    // retrieves its nested reports and returns their rows added up (-1 when one fails).
    // On PostgreSQL a failed query does not spoil the transaction's open work.
    int Retrieve(const QVariantList &args = {});
    // For a caller that needs a retrieval's figures and not its rows (the daily
    // recomputation): the row count and the named summary computed fields, as
    // Retrieve followed by GetItemDecimal(1, name) would give them (0 without rows).
    // When every field named sums a number column over all rows, the database
    // computes them exactly (Retrieval::summarize) and no row is read; the
    // DataStore is then left without rows. Otherwise it retrieves the rows. A
    // composite has no summary of its own: its row count comes back, no figures.
    struct Figures
    {
        int rows = -1;
        QHash<QString, Decimal> values;
    };
    Figures RetrieveFigures(const QVariantList &args, const QStringList &computed);
    // For a caller that needs a crosstab's row totals and not its cells (the
    // daily recomputation): per pivot row, in the pivot's order, the values of its
    // row keys and the named totals, as Retrieve followed by GetItem(row, key) and
    // GetItemDecimal(row, total) would give them; rows is the pivot's row count
    // (-1 on a database error). When the row keys are text columns and every total
    // named adds up the cells of a value that sums a number column
    // ("crosstabsum(n)" of "sum(column for crosstab)"), the database groups the
    // rows by the row keys and sums them (Retrieval::summarizeByGroup) and no row
    // is read; the DataStore is then left without rows. Otherwise it retrieves
    // and pivots the rows. A definition that is no crosstab: HostError(ErrBadArgument).
    struct PivotRowFigures
    {
        QVector<QVariant> keys;           // one per row key of the crosstab
        QHash<QString, Decimal> values;   // by the names asked for
    };
    struct CrosstabFigures
    {
        int rows = -1;
        QVector<PivotRowFigures> pivotRows;
    };
    CrosstabFigures RetrieveCrosstabFigures(const QVariantList &args, const QStringList &totals);
    int RowCount() const;
    // Drops every row, the deleted rows and the selection (host Reset()).
    void Reset();

    // --- items ----------------------------------------------------------------
    // Columns and computed fields alike. Row out of range: HostError(ErrRowOutOfRange);
    // unknown name: HostError(ErrUnknownColumn).
    QString GetItemString(int row, const QString &name) const;   // null QString for NULL
    double GetItemNumber(int row, const QString &name) const;    // 0 for NULL (see IsNull)
    Decimal GetItemDecimal(int row, const QString &name) const;  // exact; 0 for NULL
    QDate GetItemDate(int row, const QString &name) const;       // invalid for NULL
    QDateTime GetItemDateTime(int row, const QString &name) const; // invalid for NULL
    QVariant GetItem(int row, const QString &name) const;       // typed or null QVariant
    bool IsNull(int row, const QString &name) const;
    // Sets a column (not a computed field) of a row, converted to the column's type:
    // numbers (held as Decimal) from numbers or numeric text ("" -> NULL), dates from
    // QDate, QDateTime or text. A value that does not convert: HostError(ErrBadValue).
    void SetItem(int row, const QString &name, const QVariant &value);
    // Whether SetItem would take the value into that column (a column of this name
    // whose type the value converts to).
    bool fits(const QString &column, const QVariant &value) const;
    // Puts the pending edit (the text typed into a field, pendingedit.h) into its
    // row. Returns 1, also when nothing is pending, or -1 when the text does not
    // convert to the column's type.
    int AcceptText();
    PendingEdit &edit();

    // --- rows -----------------------------------------------------------------
    // Inserts an empty row before `row` (0: appends); returns its number. The row
    // has status New. When the DataStore held no row, it becomes the current row.
    int InsertRow(int row);
    // Deletes a row (0: the current row) and keeps it among the deleted rows for
    // Update (unless it was new). Out of range or no current row: HostError(ErrRowOutOfRange).
    void DeleteRow(int row);

    // 1-based row of the first row in [start, end] for which expression is true
    // (searching backwards when start > end; end beyond the last row is clamped);
    // 0 when none matches; -1 when the expression does not parse or names a
    // column or computed field the rows do not have.
    int Find(const QString &expression, int start, int end) const;

    // --- current row and selection ---------------------------------------------
    int GetRow() const;                               // current row, 0 when none
    // Makes row current (clamped to [1, RowCount()]); the rowfocuschanging hook may
    // refuse the change. Returns 1, or -1 when refused or there is no row.
    int ScrollToRow(int row);
    bool setCurrentRow(int row);                      // same, for the control's clicks
    // Called before the current row changes: (currentrow, newrow); false refuses.
    void setRowFocusChangingHook(std::function<bool(int currentRow, int newRow)> hook);
    void SelectRow(int row, bool select);             // row 0: every row
    bool IsSelected(int row) const;
    int GetSelectedRow(int after) const;              // first selected row > after, 0 when none

    // --- texts and Modify ------------------------------------------------------
    // Applies "name.text='...'" items (several separated by blanks). Returns "" on
    // success or the error text (nothing is changed then). A composite passes an
    // object it lacks to the first nested report that has it.
    QString Modify(const QString &text);
    // Sets a text object's text directly (dw.Object.t_head.Text = ...); a composite
    // passes it on like Modify. Unknown object: HostError(ErrUnknownColumn).
    void setObjectText(const QString &name, const QString &text);

    // --- row states and write-back ----------------------------------------------
    RowStatus rowStatus(int row) const;
    bool isItemModified(int row, const QString &column) const;
    int ModifiedCount() const;                        // rows DataModified or NewModified
    int DeletedCount() const;                         // deleted rows Update would delete
    QVariant deletedItem(int deletedRow, const QString &column) const; // 1-based, for inspection
    // Writes the changes to definition().updateTable by definition().keyColumns:
    // DELETE the deleted rows, UPDATE the modified ones (changed columns only),
    // INSERT the new modified ones (their non-null columns). All inside one
    // TransactionGuard: on any failure nothing is written, the rows keep their
    // states, the trace names the fault and false is returned. On success the states
    // are reset (ResetUpdate). No updateTable or keys: HostError(ErrGeneric).
    bool Update(Transaction &transaction);
    bool Update();                                    // on the SetTransObject transaction
    void ResetUpdate();                               // every row NotModified, deleted rows dropped

    // --- saved report ------------------------------------------------------------
    // Writes the report (definition, texts, rows, computed values, nested reports)
    // to file through the runtime's drive mapping. A failed write: HostError(ErrFileWrite).
    void SaveAs(const QString &file, SaveAsType type = SaveAsType::PSReport, bool headings = true) const;

    // --- composites ------------------------------------------------------------
    int nestedCount() const;
    DataStore *nestedStore(int index);                // 0-based; nullptr when out of range
    DataStore *nestedStore(const QString &definitionName);

    // --- ReportData: the report as data ---------------------------------------------
    const Definition &definition() const override;
    QVector<Column> columns() const override;         // the row columns (pivot columns for a crosstab)
    QString objectText(const QString &name) const override;
    QVector<const ReportData *> nested() const override;
    QVariantList retrievalArguments() const override;
    // For a report read run by run instead of retrieved (ReportRuns): the
    // argument values its headings and criteria show meanwhile.
    void setRetrievalArguments(const QVariantList &values);
    QString windowTitle() const override;
    // The title the report is shown under (a window's, the command line's --title).
    void setWindowTitle(const QString &title);

Q_SIGNALS:
    void rowsReset();                                 // new rows: Retrieve, Reset, setDataObject
    void rowInserted(int row);
    void rowDeleted(int row);
    void itemChanged(int row, const QString &name);
    void currentRowChanged(int row);
    void selectionChanged();
    void textsChanged();

private:
    // The reading face of ReportData and ExpressionContext (see the class comment).
    int rowCount() const override;
    bool hasName(const QString &name) const override;
    QVariant item(int row, const QString &name) const override;   // null for a row out of range or an unknown name
    std::pair<int, int> groupRange(int level, int row) const override;
    std::pair<int, int> crosstabRange(int row) const override;
    QVariant crosstabSum(int n, int row) const override;
    AggregateCache *aggregateCache() const override;
    bool isGroupColumn(const QString &column) const;

    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace wip::reports
