#pragma once

#include "reports/datastore.h"
#include "reports/render/pagemodel.h"

#include <QAbstractScrollArea>
#include <QColor>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>

class QPainter;

namespace wip {
class Transaction;
}

namespace wip::reports {

// The report control of a window (dw_wip_detail, dw_process ...): a DataStore with
// a view. It forwards the host operations to the DataStore it owns and shows the
// report's page model continuously (not paged), painting only the visible part, so
// that 100 000 rows open and scroll at once. The current row follows the Up, Down,
// PageUp, PageDown, Home and End keys and mouse clicks; rowfocuschanging(current,
// new) is emitted before the current row changes, whatever changes it (click, key,
// ScrollToRow) and is scrolled into view. The current row of a list and the rows
// that SelectRow highlights are drawn in the platform's selection colours.
//
// A form layout (d_w_process_input) is edited in place: a line editor sits on the
// current field; Tab, Shift+Tab and Enter move between fields. What is typed is the
// DataStore's pending edit (pendingedit.h). Leaving a field whose text changed
// emits itemchanged(row, column, text) while the row still holds the old value;
// the handler may call AcceptText() to put the text into the row before it reads
// it, otherwise the text is put there after the handler. A text that does not
// fit the column is not announced and keeps the editor on the field. Every key first runs the key(key, keyflags)
// event; a handler that calls Keyboard::consumeKey() (returns 2) keeps the control
// from acting on the key.
class ReportControl : public QAbstractScrollArea
{
    Q_OBJECT

public:
    ReportControl(QWidget *parent, const QString &name);
    ~ReportControl() override;

    DataStore &store() { return *m_store; }
    const DataStore &store() const { return *m_store; }
    // The layout shown (rebuilt when the rows or texts change).
    const PageModel &pageModel() const;

    // --- host operations, forwarded to the DataStore --------------------------
    void setDataObject(const QString &name);
    QString dataobject() const { return m_store->dataObject(); }
    void SetTransObject(Transaction &transaction);
    int Retrieve(const QVariantList &args = {});
    int RowCount() const { return m_store->RowCount(); }
    QString GetItemString(int row, const QString &name) const { return m_store->GetItemString(row, name); }
    double GetItemNumber(int row, const QString &name) const { return m_store->GetItemNumber(row, name); }
    Decimal GetItemDecimal(int row, const QString &name) const { return m_store->GetItemDecimal(row, name); }
    QDate GetItemDate(int row, const QString &name) const { return m_store->GetItemDate(row, name); }
    QDateTime GetItemDateTime(int row, const QString &name) const { return m_store->GetItemDateTime(row, name); }
    QVariant GetItem(int row, const QString &name) const { return m_store->GetItem(row, name); }
    void SetItem(int row, const QString &name, const QVariant &value);
    // Puts the text being edited into its row. 1, or -1 when the text does not fit
    // the column (the editor stays on the field).
    int AcceptText();
    void Reset();
    int InsertRow(int row);
    void DeleteRow(int row);
    int Find(const QString &expression, int start, int end) const { return m_store->Find(expression, start, end); }
    int GetRow() const { return m_store->GetRow(); }
    int ScrollToRow(int row);
    void SelectRow(int row, bool select);
    bool IsSelected(int row) const { return m_store->IsSelected(row); }
    QString Modify(const QString &text);
    void setObjectText(const QString &name, const QString &text);
    QString objectText(const QString &name) const { return m_store->objectText(name); }
    void SaveAs(const QString &file, SaveAsType type = SaveAsType::PSReport, bool headings = true) const;
    int SetFocus();

    // Colours rows on the screen (late orders red ...): called for each row painted,
    // an invalid colour leaves the row white. Selected rows keep their highlight;
    // printing and export do not use it.
    void setRowBackground(std::function<QColor(int row)> colour);

    // A line shown where the rows would be when the report has none: why the
    // query found nothing. Not part of the report (neither printed nor saved).
    // setDataObject, Retrieve, Reset and clearReport drop it.
    void setNote(const QString &note);
    QString note() const { return m_note; }
    // Where the note stands, in viewport pixels: under the report's titles and
    // captions, wrapped to the width of the view and kept in it when the report
    // is scrolled sideways. Empty while no note is shown.
    QRect noteRect() const;
    // Shows no report at all (no definition, no rows), only the note: for a
    // choice that has no report, so that the previous one is not left on screen.
    void clearReport(const QString &note);

    // Called by a rowfocuschanging handler: the current row stays where it is
    // (the event's return value 1 of the host). ScrollToRow then returns -1.
    void preventRowChange() { m_rowChangePrevented = true; }

    // --- editing (form layouts) -------------------------------------------------
    // Whether the user may type into the form (true at first). A control that is
    // not editable opens no editor; what handlers set still shows.
    void setEditable(bool on);
    bool isEditable() const { return m_editable; }
    bool isEditing() const;
    QString editedColumn() const;     // column of the field being edited, "" when none
    QLineEdit *editor() const { return m_editor; }
    // Rectangle of a row (or of one of its fields) in viewport coordinates.
    QRect rowRectInViewport(int row) const;
    QRect fieldRectInViewport(int row, const QString &column) const;
    // Pixels per report point.
    double scale() const { return m_scale; }

    // As wide as the report, so that a window opened (or widened, when another
    // report comes) at this width shows every column without sideways scrolling.
    QSize sizeHint() const override;

Q_SIGNALS:
    void rowfocuschanging(int currentrow, int newrow);
    void itemchanged(int row, const QString &columnName, const QString &data);
    void key(int key, int keyflags);
    void clicked(int row, const QString &columnName);
    void doubleclicked(int row, const QString &columnName);
    void getfocus();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void connectStore();
    void invalidateModel();
    void ensureModel() const;
    void syncModel();                   // builds the model if needed, with the scroll bars
    void updateScrollBars();
    void ensureRowVisible(int row);
    void ensureRectVisible(const QRectF &modelRect);
    QPointF toModel(const QPoint &viewportPoint) const;
    QRectF toViewport(const QRectF &modelRect) const;
    int visibleRowCount() const;
    void moveCurrentRow(int row);
    bool isForm() const;
    void askForWidth();                 // a new report: the window may widen for it
    void paintNote(QPainter &p) const;
    QFont noteFont() const;
    QRectF noteModelRect() const;       // noteRect() in model points

    // Editing.
    void beginEdit(int row, int fieldIndex);
    void closeEditor();
    void placeEditor();
    void moveField(int delta);
    int acceptEdit();

    std::unique_ptr<DataStore> m_store;
    mutable std::unique_ptr<PageModel> m_model;
    double m_scale = 1;
    static constexpr double kMargin = 4;   // points around the report

    QPointer<QLineEdit> m_editor;
    int m_editRow = 0;
    int m_fieldIndex = 0;               // into the editable fields of the form
    QString m_editColumn;
    bool m_quietFocus = false;          // focus taken back from a closed editor
    std::function<QColor(int row)> m_rowBackground;
    bool m_editable = true;
    bool m_rowChangePrevented = false;  // set by a rowfocuschanging handler
    QString m_note;
};

} // namespace wip::reports
