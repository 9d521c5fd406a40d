#pragma once

#include "reports/render/pagination.h"

#include <QAbstractScrollArea>

namespace wip::reports {

// Shows one printed page of a paginated report, as paper on a grey desk, at a
// zoom factor (1 = actual size). The preview window drives it: which page, which
// zoom. It only reads the model and the pagination.
class PageView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit PageView(QWidget *parent = nullptr);

    // nullptr shows an empty desk. The pagination must outlive its use here.
    void setPages(const Pagination *pages);
    const Pagination *pages() const { return m_pages; }

    int page() const { return m_page; }          // 0-based
    void setPage(int page);
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);                   // clamped to [0.2, 5]
    // The zoom at which a whole page fits the visible area.
    double fitZoom() const;
    // The zoom at which the page's width fits the visible area (never above 1.5:
    // a narrow report on a wide window stays a page, not a poster).
    double widthZoom() const;

    static constexpr double minZoom = 0.2;
    static constexpr double maxZoom = 5.0;

Q_SIGNALS:
    void pageChanged(int page);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateScrollBars();
    QSizeF pageSizePixels() const;
    double pixelsPerPoint() const;

    const Pagination *m_pages = nullptr;
    int m_page = 0;
    double m_zoom = 1.0;
    static constexpr int kDesk = 16;   // pixels of desk around the paper
};

} // namespace wip::reports
