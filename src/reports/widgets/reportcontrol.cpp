#include "reports/widgets/reportcontrol.h"

#include "reports/pendingedit.h"
#include "reports/render/reportpainter.h"
#include "reports/savedreport.h"
#include "reports/widgets/w_preview.h"
#include "runtime/hosterror.h"
#include "runtime/widgets/controlsupport.h"
#include "runtime/widgets/keyboard.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <algorithm>
#include <utility>
#include <cmath>

namespace wip::reports {

ReportControl::ReportControl(QWidget *parent, const QString &name)
    : QAbstractScrollArea(parent)
    , m_store(std::make_unique<DataStore>())
{
    ControlSupport::init(this, name);
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    viewport()->setAutoFillBackground(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_scale = std::max(1, logicalDpiY()) / 72.0;
    connectStore();
    // A report control's print button opens w_preview by name: make sure the
    // preview is there for it even when the application did not register it.
    if (!Window::isRegistered(QStringLiteral("w_preview")))
        registerPreviewWindow();
}

ReportControl::~ReportControl()
{
    // The editor must not report its focus loss to a control that is going away.
    if (m_editor) {
        m_editor->removeEventFilter(this);
        delete m_editor;
    }
    // The DataStore outlives nothing that points back here.
    m_store->setRowFocusChangingHook({});
    m_store->disconnect(this);
    m_store->edit().disconnect(this);
}

void ReportControl::connectStore()
{
    DataStore *s = m_store.get();
    s->setRowFocusChangingHook([this](int current, int next) {
        m_rowChangePrevented = false;
        Q_EMIT rowfocuschanging(current, next);
        return !std::exchange(m_rowChangePrevented, false);
    });
    // The edit ends with new rows or a row inserted or deleted before it (the
    // DataStore's pending edit closes itself); the editor goes with it.
    auto rowsMoved = [this] {
        if (isEditing() && !m_store->edit().isOpen())
            closeEditor();
        invalidateModel();
    };
    connect(s, &DataStore::rowsReset, this, rowsMoved);
    connect(s, &DataStore::rowInserted, this, rowsMoved);
    connect(s, &DataStore::rowDeleted, this, rowsMoved);
    connect(s, &DataStore::textsChanged, this, [this] { invalidateModel(); });
    connect(s, &DataStore::selectionChanged, this, [this] { viewport()->update(); });
    connect(s, &DataStore::itemChanged, this, [this](int row, const QString &name) {
        // A value put into the field being edited (accepted, or set by a handler)
        // shows in the editor at once.
        if (isEditing() && row == m_editRow && name.compare(m_editColumn, Qt::CaseInsensitive) == 0
            && m_editor->text() != m_store->edit().text())
            m_editor->setText(m_store->edit().text());
        viewport()->update();
    });
    connect(&s->edit(), &PendingEdit::itemChanging, this, &ReportControl::itemchanged);
    connect(s, &DataStore::currentRowChanged, this, [this](int row) {
        if (isEditing() && row != m_editRow && row > 0)
            beginEdit(row, m_fieldIndex);
        ensureRowVisible(row);
        viewport()->update();
    });
}

// --- model and geometry -------------------------------------------------------------

const PageModel &ReportControl::pageModel() const
{
    ensureModel();
    return *m_model;
}

// The model is rebuilt when next needed, so a loop of InsertRow costs one layout.
void ReportControl::invalidateModel()
{
    m_model.reset();
    viewport()->update();
}

void ReportControl::syncModel()
{
    if (!m_model)
        updateScrollBars();
}

void ReportControl::ensureModel() const
{
    if (!m_model)
        m_model = std::make_unique<PageModel>(*m_store, PageModel::Options{9, PageModel::Purpose::Screen, 7});
}

void ReportControl::updateScrollBars()
{
    ensureModel();
    const QSize view = viewport()->size();
    const int contentW = int(std::ceil((m_model->width() + 2 * kMargin) * m_scale));
    const int contentH = int(std::ceil((m_model->height() + 2 * kMargin) * m_scale));
    horizontalScrollBar()->setRange(0, std::max(0, contentW - view.width()));
    horizontalScrollBar()->setPageStep(std::max(1, view.width()));
    horizontalScrollBar()->setSingleStep(std::max(1, int(20 * m_scale)));
    verticalScrollBar()->setRange(0, std::max(0, contentH - view.height()));
    verticalScrollBar()->setPageStep(std::max(1, view.height()));
    verticalScrollBar()->setSingleStep(std::max(1, int(PageModel::lineHeight(m_model->options().fontSize) * m_scale)));
    placeEditor();
}

QPointF ReportControl::toModel(const QPoint &p) const
{
    return QPointF((p.x() + horizontalScrollBar()->value()) / m_scale - kMargin,
                   (p.y() + verticalScrollBar()->value()) / m_scale - kMargin);
}

QRectF ReportControl::toViewport(const QRectF &r) const
{
    return QRectF((r.x() + kMargin) * m_scale - horizontalScrollBar()->value(),
                  (r.y() + kMargin) * m_scale - verticalScrollBar()->value(),
                  r.width() * m_scale, r.height() * m_scale);
}

QRect ReportControl::rowRectInViewport(int row) const
{
    ensureModel();
    const QRectF r = m_model->rowRect(0, row);
    return r.isNull() ? QRect() : toViewport(r).toAlignedRect();
}

QRect ReportControl::fieldRectInViewport(int row, const QString &column) const
{
    ensureModel();
    if (m_model->sectionCount() == 0)
        return {};
    for (const PageModel::Item &item : m_model->section(0).detail.items) {
        if ((item.kind == PageModel::ItemKind::Column || item.kind == PageModel::ItemKind::Computed)
            && item.name.compare(column, Qt::CaseInsensitive) == 0) {
            const QRectF r = m_model->itemRect(0, row, item);
            return r.isNull() ? QRect() : toViewport(r).toAlignedRect();
        }
    }
    return {};
}

int ReportControl::visibleRowCount() const
{
    ensureModel();
    double rowH = PageModel::lineHeight(m_model->options().fontSize);
    if (m_model->sectionCount() > 0 && m_model->section(0).detail.height > 0)
        rowH = m_model->section(0).detail.height;
    return std::max(1, int(viewport()->height() / (rowH * m_scale)));
}

void ReportControl::ensureRectVisible(const QRectF &modelRect)
{
    syncModel();
    if (modelRect.isNull())
        return;
    const QRectF r = toViewport(modelRect);
    QScrollBar *v = verticalScrollBar();
    if (r.top() < 0)
        v->setValue(v->value() + int(std::floor(r.top())));
    else if (r.bottom() > viewport()->height())
        v->setValue(v->value() + int(std::ceil(r.bottom() - viewport()->height())));
    QScrollBar *h = horizontalScrollBar();
    if (r.width() < viewport()->width()) {
        if (r.left() < 0)
            h->setValue(h->value() + int(std::floor(r.left())));
        else if (r.right() > viewport()->width())
            h->setValue(h->value() + int(std::ceil(r.right() - viewport()->width())));
    }
}

void ReportControl::ensureRowVisible(int row)
{
    syncModel();
    const QRectF r = m_model->rowRect(0, row);
    if (r.isNull())
        return;
    // Only the vertical position matters for a row.
    const QRectF v = toViewport(r);
    QScrollBar *bar = verticalScrollBar();
    if (v.top() < 0)
        bar->setValue(bar->value() + int(std::floor(v.top())));
    else if (v.bottom() > viewport()->height())
        bar->setValue(bar->value() + int(std::ceil(v.bottom() - viewport()->height())));
}

bool ReportControl::isForm() const
{
    return m_store->definition().layout == LayoutKind::Form;
}

// --- painting ---------------------------------------------------------------------------

void ReportControl::paintEvent(QPaintEvent *event)
{
    syncModel();
    // The rows in view are measured before they are painted; a column that grows
    // moves the columns right of it, so the whole view is painted again.
    const double top = toModel(QPoint(0, 0)).y();
    if (m_model->measureArea(top, top + viewport()->height() / m_scale + 1)) {
        updateScrollBars();
        if (event->rect() != viewport()->rect())
            viewport()->update();
    }
    QPainter p(viewport());
    p.fillRect(event->rect(), Qt::white);
    p.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    p.scale(m_scale, m_scale);
    p.translate(kMargin, kMargin);

    const QPointF topLeft = toModel(event->rect().topLeft());
    const QRectF visible(topLeft, QSizeF(event->rect().width() / m_scale + 1, event->rect().height() / m_scale + 1));
    ReportPainter::Marks marks;
    marks.section = 0;
    marks.currentRow = m_store->GetRow();
    marks.selected = [this](int row) { return m_store->IsSelected(row); };
    marks.background = m_rowBackground;
    // The active colours even when another window has the focus: a row found from
    // the find dialog is plain to see when the dialog closes.
    marks.highlight = palette().color(QPalette::Active, QPalette::Highlight);
    marks.highlightedText = palette().color(QPalette::Active, QPalette::HighlightedText);
    const bool rows = m_store->definition().layout != LayoutKind::Composite;
    ReportPainter(*m_model).paintContinuous(p, visible, rows ? &marks : nullptr);
    if (!m_note.isEmpty() && m_store->RowCount() == 0)
        paintNote(p);
}

QFont ReportControl::noteFont() const
{
    QFont f(ReportPainter::fontFamily());
    f.setPointSizeF(m_model->options().fontSize + 1);
    f.setBold(true);
    return f;
}

QRectF ReportControl::noteModelRect() const
{
    // Below what the report shows of itself (its titles and captions); from the
    // left edge of the view, as wide as the view, however wide the report.
    const double left = std::max(0.0, toModel(QPoint(0, 0)).x());
    const double width = std::max(40.0, viewport()->width() / m_scale - 2 * kMargin);
    const QFontMetricsF metrics(noteFont(), viewport());
    const QRectF text = metrics.boundingRect(QRectF(0, 0, width, 1e6), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                                             m_note);
    return QRectF(left, m_model->height() + 12, width, text.height());
}

QRect ReportControl::noteRect() const
{
    if (m_note.isEmpty() || m_store->RowCount() > 0)
        return {};
    ensureModel();
    return toViewport(noteModelRect()).toAlignedRect();
}

void ReportControl::paintNote(QPainter &p) const
{
    p.setFont(noteFont());
    p.setPen(QColor(0xa0, 0x20, 0x20));
    p.drawText(noteModelRect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, m_note);
}

void ReportControl::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ReportControl::scrollContentsBy(int dx, int dy)
{
    viewport()->scroll(dx, dy);
    placeEditor();
}

// --- host operations ------------------------------------------------------------------

void ReportControl::setNote(const QString &note)
{
    m_note = note;
    viewport()->update();
}

void ReportControl::clearReport(const QString &note)
{
    closeEditor();
    m_store->setDefinition(nullptr);
    invalidateModel();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    setNote(note);
}

void ReportControl::setDataObject(const QString &name)
{
    m_note.clear();
    closeEditor();
    m_store->setDataObject(name);
    invalidateModel();
    horizontalScrollBar()->setValue(0);
    verticalScrollBar()->setValue(0);
    askForWidth();
}

QSize ReportControl::sizeHint() const
{
    const QSize base = QAbstractScrollArea::sizeHint();
    if (m_store->dataObject().isEmpty())
        return base;
    // The whole report across, with room for the vertical scroll bar that many
    // rows bring, so that no column needs the horizontal one.
    ensureModel();
    const int content = int(std::ceil((m_model->width() + 2 * kMargin) * m_scale));
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    return QSize(std::max(base.width(), content + 2 * frameWidth() + bar), base.height());
}

void ReportControl::askForWidth()
{
    updateGeometry();
    if (auto *w = qobject_cast<Window *>(window()))
        w->fitToContents();
}

void ReportControl::SetTransObject(Transaction &transaction)
{
    m_store->SetTransObject(transaction);
}

int ReportControl::Retrieve(const QVariantList &args)
{
    m_note.clear();
    closeEditor();
    const int n = m_store->Retrieve(args);
    invalidateModel();
    verticalScrollBar()->setValue(0);
    askForWidth();
    return n;
}

void ReportControl::SetItem(int row, const QString &name, const QVariant &value)
{
    m_store->SetItem(row, name, value);
}

int ReportControl::AcceptText()
{
    return m_store->AcceptText();
}

void ReportControl::Reset()
{
    m_note.clear();
    closeEditor();
    m_store->Reset();
}

int ReportControl::InsertRow(int row)
{
    return m_store->InsertRow(row);
}

void ReportControl::DeleteRow(int row)
{
    m_store->DeleteRow(row);
}

int ReportControl::ScrollToRow(int row)
{
    // A row out of view (a find far down the list) comes to the middle, with the
    // rows around it; one in view stays where it is.
    syncModel();
    const QRect before = rowRectInViewport(std::clamp(row, 1, std::max(1, m_store->RowCount())));
    const bool inView = viewport()->rect().contains(before);
    const int result = m_store->ScrollToRow(row);
    if (result > 0) {
        ensureRowVisible(m_store->GetRow());
        if (!inView) {
            const QRect r = rowRectInViewport(m_store->GetRow());
            QScrollBar *bar = verticalScrollBar();
            bar->setValue(bar->value() + r.center().y() - viewport()->height() / 2);
        }
    }
    return result;
}

void ReportControl::SelectRow(int row, bool select)
{
    m_store->SelectRow(row, select);
}

QString ReportControl::Modify(const QString &text)
{
    return m_store->Modify(text);
}

void ReportControl::setObjectText(const QString &name, const QString &text)
{
    m_store->setObjectText(name, text);
}

void ReportControl::SaveAs(const QString &file, SaveAsType type, bool headings) const
{
    // The saved report knows the window it was shown in: a report without a
    // title of its own is printed and exported under the window's title.
    if (type == SaveAsType::PSReport) {
        SavedReport::write(*m_store, file, window() != this ? window()->windowTitle() : QString());
        return;
    }
    m_store->SaveAs(file, type, headings);
}

int ReportControl::SetFocus()
{
    return ControlSupport::setFocus(this, [this] { Q_EMIT getfocus(); });
}

void ReportControl::setRowBackground(std::function<QColor(int row)> colour)
{
    m_rowBackground = std::move(colour);
    viewport()->update();
}

// --- keys and mouse ---------------------------------------------------------------------------

void ReportControl::moveCurrentRow(int row)
{
    if (m_store->RowCount() == 0)
        return;
    if (acceptEdit() < 0)
        return;
    m_store->setCurrentRow(std::clamp(row, 1, m_store->RowCount()));
    ensureRowVisible(m_store->GetRow());
}

void ReportControl::keyPressEvent(QKeyEvent *event)
{
    if (Keyboard::runKeyEvent(event, [this](int k, int f) { Q_EMIT key(k, f); })) {
        event->accept();
        return;
    }
    const int current = m_store->GetRow();
    const int n = m_store->RowCount();
    switch (event->key()) {
    case Qt::Key_Up:
        moveCurrentRow(current - 1);
        break;
    case Qt::Key_Down:
        moveCurrentRow(current + 1);
        break;
    case Qt::Key_PageUp:
        moveCurrentRow(current - visibleRowCount());
        break;
    case Qt::Key_PageDown:
        moveCurrentRow(current + visibleRowCount());
        break;
    case Qt::Key_Home:
        moveCurrentRow(1);
        break;
    case Qt::Key_End:
        moveCurrentRow(n);
        break;
    case Qt::Key_Left:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Right:
        horizontalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A form keeps Enter (next field); a list leaves it to the window's default button.
        if (!isForm()) {
            event->ignore();
            return;
        }
        if (!(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
            moveField(1);
        else
            acceptEdit();
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ReportControl::mousePressEvent(QMouseEvent *event)
{
    syncModel();
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    setFocus(Qt::MouseFocusReason);
    const QPointF at = toModel(event->position().toPoint());
    const PageModel::Hit hit = m_model->hitTest(at.x(), at.y());
    if (hit.section != 0 || hit.row <= 0 || m_store->definition().layout == LayoutKind::Composite)
        return;
    const QString name = hit.item ? hit.item->name : QString();
    if (hit.row != m_store->GetRow())
        moveCurrentRow(hit.row);
    Q_EMIT clicked(hit.row, name);
    if (isForm() && hit.item && hit.item->editable && m_store->GetRow() == hit.row) {
        const QVector<const PageModel::Item *> fields = m_model->editableItems(0);
        const int index = int(fields.indexOf(hit.item));
        if (index >= 0)
            beginEdit(hit.row, index);
    }
}

void ReportControl::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void ReportControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    syncModel();
    const QPointF at = toModel(event->position().toPoint());
    const PageModel::Hit hit = m_model->hitTest(at.x(), at.y());
    if (hit.section == 0 && hit.row > 0)
        Q_EMIT doubleclicked(hit.row, hit.item ? hit.item->name : QString());
}

void ReportControl::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (ControlSupport::announcesFocus(event))
        Q_EMIT getfocus();
    // A form hands the keyboard to its current field, except on a click, which
    // chooses the field itself.
    if (isForm() && !isEditing() && !m_quietFocus && m_store->RowCount() > 0
        && event->reason() != Qt::MouseFocusReason)
        beginEdit(std::max(1, m_store->GetRow()), m_fieldIndex);
}

bool ReportControl::focusNextPrevChild(bool next)
{
    // Tab and Shift+Tab (typed, or sent by a key handler) move between the fields
    // of a form the user may type into; out of the control otherwise.
    if (m_editable && isForm() && m_store->RowCount() > 0 && !pageModel().editableItems(0).isEmpty()) {
        moveField(next ? 1 : -1);
        return true;
    }
    return QAbstractScrollArea::focusNextPrevChild(next);
}

bool ReportControl::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_editor && event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) {
            if (!Keyboard::runKeyEvent(ke, [this](int k, int f) { Q_EMIT key(k, f); })) {
                if (!(ke->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier)))
                    moveField(1);
                else
                    acceptEdit();
            }
            return true;
        }
    } else if (watched == m_editor && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent *>(event)->reason();
        // Leaving the control accepts the text, as moving to another field does.
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason && isEditing())
            acceptEdit();
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

// --- editing ---------------------------------------------------------------------------------------

bool ReportControl::isEditing() const
{
    return m_editor && m_editRow > 0 && !m_editColumn.isEmpty();
}

QString ReportControl::editedColumn() const
{
    return isEditing() ? m_editColumn : QString();
}

void ReportControl::setEditable(bool on)
{
    m_editable = on;
    if (!on)
        closeEditor();
}

void ReportControl::beginEdit(int row, int fieldIndex)
{
    if (!m_editable)
        return;
    syncModel();
    const QVector<const PageModel::Item *> fields = m_model->editableItems(0);
    if (fields.isEmpty() || row < 1 || row > m_store->RowCount())
        return;
    fieldIndex = std::clamp(fieldIndex, 0, int(fields.size()) - 1);
    if (isEditing() && (row != m_editRow || fieldIndex != m_fieldIndex) && acceptEdit() < 0)
        return;
    m_editRow = row;   // set first: the row change below must not restart editing
    m_fieldIndex = fieldIndex;
    m_editColumn = fields.at(fieldIndex)->name;
    if (row != m_store->GetRow() && !m_store->setCurrentRow(row)) {
        closeEditor();
        return;
    }
    if (!m_editor) {
        m_editor = new QLineEdit(viewport());
        m_editor->setObjectName(QStringLiteral("editor"));
        m_editor->setFrame(false);
        QFont f(ReportPainter::fontFamily());
        f.setPointSizeF(pageModel().options().fontSize);
        m_editor->setFont(f);
        m_editor->setStyleSheet(QStringLiteral("QLineEdit { background: #fff8d0; }"));
        m_editor->installEventFilter(this);
        // Whatever the editor holds, typed or set, is the pending edit.
        connect(m_editor, &QLineEdit::textChanged, this, [this](const QString &text) { m_store->edit().setText(text); });
    }
    m_store->edit().open(row, m_editColumn);
    m_editor->setText(m_store->edit().text());
    const PageModel::Item *item = fields.at(fieldIndex);
    m_editor->setAlignment(item->align == Align::Right ? Qt::AlignRight | Qt::AlignVCenter
                                                        : Qt::AlignLeft | Qt::AlignVCenter);
    ensureRectVisible(m_model->itemRect(0, row, *item));
    placeEditor();
    m_editor->show();
    m_editor->setFocus(Qt::OtherFocusReason);
    m_editor->selectAll();
    viewport()->update();
}

void ReportControl::placeEditor()
{
    if (!isEditing() || !m_model)
        return;
    const QVector<const PageModel::Item *> fields = m_model->editableItems(0);
    if (m_fieldIndex >= fields.size())
        return;
    const QRectF r = m_model->itemRect(0, m_editRow, *fields.at(m_fieldIndex));
    if (r.isNull())
        return;
    m_editor->setGeometry(toViewport(r).toAlignedRect().adjusted(1, 1, -1, -1));
}

void ReportControl::closeEditor()
{
    const bool hadFocus = m_editor && m_editor->hasFocus();
    m_editRow = 0;
    m_editColumn.clear();
    m_store->edit().close();
    if (m_editor) {
        m_editor->hide();
        if (hadFocus) {
            m_quietFocus = true;
            setFocus(Qt::OtherFocusReason);
            m_quietFocus = false;
        }
    }
}

void ReportControl::moveField(int delta)
{
    const QVector<const PageModel::Item *> fields = pageModel().editableItems(0);
    const int n = int(fields.size());
    if (n == 0 || m_store->RowCount() == 0)
        return;
    if (!isEditing()) {
        beginEdit(std::max(1, m_store->GetRow()), delta > 0 ? 0 : n - 1);
        return;
    }
    if (acceptEdit() < 0 || !isEditing())
        return;   // a refused text keeps the field; a handler may have ended the editing
    int row = m_editRow;
    int index = m_fieldIndex + delta;
    if (index >= n) {
        index = 0;
        if (row < m_store->RowCount())
            ++row;
    } else if (index < 0) {
        index = n - 1;
        if (row > 1)
            --row;
    }
    beginEdit(row, index);
}

int ReportControl::acceptEdit()
{
    if (!isEditing())
        return 1;
    // The window's itemchanged handler runs and the text goes into the row; a
    // text that does not fit the column stays in the editor.
    const int result = m_store->AcceptText();
    if (result < 0)
        QApplication::beep();
    return result;
}

} // namespace wip::reports
