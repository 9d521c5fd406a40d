#include "reports/widgets/pageview.h"

#include "reports/render/reportpainter.h"

#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace wip::reports {

PageView::PageView(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("pageview"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
}

void PageView::setPages(const Pagination *pages)
{
    m_pages = pages;
    m_page = 0;
    updateScrollBars();
    viewport()->update();
    Q_EMIT pageChanged(m_page);
}

void PageView::setPage(int page)
{
    if (!m_pages)
        return;
    page = std::clamp(page, 0, std::max(0, m_pages->pageCount() - 1));
    if (page == m_page)
        return;
    m_page = page;
    updateScrollBars();
    verticalScrollBar()->setValue(0);
    viewport()->update();
    Q_EMIT pageChanged(m_page);
}

void PageView::setZoom(double zoom)
{
    zoom = std::clamp(zoom, minZoom, maxZoom);
    if (std::abs(zoom - m_zoom) < 1e-9)
        return;
    m_zoom = zoom;
    updateScrollBars();
    viewport()->update();
}

double PageView::pixelsPerPoint() const
{
    return std::max(1, logicalDpiY()) / 72.0;
}

QSizeF PageView::pageSizePixels() const
{
    if (!m_pages || m_pages->pageCount() == 0)
        return {};
    return m_pages->page(m_page).size * pixelsPerPoint() * m_zoom;
}

double PageView::widthZoom() const
{
    if (!m_pages || m_pages->pageCount() == 0)
        return 1.0;
    const double paper = m_pages->page(m_page).size.width() * pixelsPerPoint();
    const int scrollBar = verticalScrollBar()->sizeHint().width();
    const double w = (viewport()->width() - 2 * kDesk - scrollBar) / paper;
    return std::clamp(std::min(w, 1.5), minZoom, maxZoom);
}

double PageView::fitZoom() const
{
    if (!m_pages || m_pages->pageCount() == 0)
        return 1.0;
    const QSizeF paper = m_pages->page(m_page).size * pixelsPerPoint();
    const double w = (viewport()->width() - 2 * kDesk) / paper.width();
    const double h = (viewport()->height() - 2 * kDesk) / paper.height();
    return std::clamp(std::min(w, h), minZoom, maxZoom);
}

void PageView::updateScrollBars()
{
    const QSizeF paper = pageSizePixels();
    const int w = int(std::ceil(paper.width())) + 2 * kDesk;
    const int h = int(std::ceil(paper.height())) + 2 * kDesk;
    horizontalScrollBar()->setRange(0, std::max(0, w - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    verticalScrollBar()->setRange(0, std::max(0, h - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(20);
    horizontalScrollBar()->setSingleStep(20);
}

void PageView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PageView::keyPressEvent(QKeyEvent *event)
{
    if (!m_pages) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    switch (event->key()) {
    case Qt::Key_PageDown:
        setPage(m_page + 1);
        break;
    case Qt::Key_PageUp:
        setPage(m_page - 1);
        break;
    case Qt::Key_Home:
        setPage(0);
        break;
    case Qt::Key_End:
        setPage(m_pages->pageCount() - 1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void PageView::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    p.fillRect(event->rect(), QColor(128, 128, 128));
    if (!m_pages || m_pages->pageCount() == 0)
        return;
    const QSizeF paper = pageSizePixels();
    // The paper is centred when narrower than the view.
    const double x = std::max(double(kDesk), (viewport()->width() - paper.width()) / 2) - horizontalScrollBar()->value();
    const double y = std::max(double(kDesk), (viewport()->height() - paper.height()) / 2) - verticalScrollBar()->value();
    const QRectF sheet(x, y, paper.width(), paper.height());
    p.fillRect(sheet.translated(3, 3), QColor(60, 60, 60));
    p.fillRect(sheet, Qt::white);

    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setClipRect(sheet);
    p.translate(sheet.topLeft());
    const double s = pixelsPerPoint() * m_zoom;
    p.scale(s, s);
    ReportPainter(m_pages->model()).paintPage(p, *m_pages, m_page);
    p.restore();
}

} // namespace wip::reports
