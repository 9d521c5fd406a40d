#pragma once

#include "reports/render/pagination.h"
#include "reports/render/reportpainter.h"

#include <QPainter>
#include <QPdfWriter>
#include <QString>

class QIODevice;

namespace wip::reports {

// A PDF painted a page at a time, in order, from a Pagination: each page on its
// own paper (the parts of a composite may differ), in points scaled to the
// writer's resolution. Whoever paints decides when a page is painted, so that
// the rows it shows can be read first (a report read a run at a time).
class PdfPages
{
public:
    PdfPages(const Pagination &pages, QIODevice *device, const QString &fileName);

    // False, with *error saying why, when the PDF cannot be started.
    bool begin(QString *error);
    // Paints the next page; true while pages are left.
    bool paintNext();
    int painted() const { return m_next; }
    // False, with *error saying why, when the PDF cannot be finished.
    bool finish(QString *error);

private:
    const Pagination &m_pages;
    QString m_fileName;
    QPdfWriter m_writer;
    QPainter m_painter;
    ReportPainter m_reportPainter;
    double m_toDevice = 1;
    int m_next = 0;
};

} // namespace wip::reports
