#include "reports/render/pdfpages.h"

#include "reports/reportcriteria.h"

#include <QFileInfo>

namespace wip::reports {

PdfPages::PdfPages(const Pagination &pages, QIODevice *device, const QString &fileName)
    : m_pages(pages)
    , m_fileName(fileName)
    , m_writer(device)
    , m_reportPainter(pages.model())
{
}

bool PdfPages::begin(QString *error)
{
    const PageModel &model = m_pages.model();
    m_writer.setCreator(QStringLiteral("Wip"));
    if (model.sectionCount() > 0)
        m_writer.setTitle(ReportCriteria::title(*model.section(0).data));
    m_writer.setPageLayout(Pagination::pageLayout(m_pages.page(0)));
    if (!m_painter.begin(&m_writer)) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: the PDF could not be started.")
                         .arg(QFileInfo(m_fileName).absoluteFilePath());
        return false;
    }
    m_toDevice = m_writer.resolution() / 72.0;
    return true;
}

bool PdfPages::paintNext()
{
    if (m_next >= m_pages.pageCount())
        return false;
    if (m_next > 0) {
        m_writer.setPageLayout(Pagination::pageLayout(m_pages.page(m_next)));
        m_writer.newPage();
    }
    m_painter.save();
    m_painter.scale(m_toDevice, m_toDevice);
    m_reportPainter.paintPage(m_painter, m_pages, m_next);
    m_painter.restore();
    return ++m_next < m_pages.pageCount();
}

bool PdfPages::finish(QString *error)
{
    if (!m_painter.end()) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: the PDF could not be finished.")
                         .arg(QFileInfo(m_fileName).absoluteFilePath());
        return false;
    }
    return true;
}

} // namespace wip::reports
