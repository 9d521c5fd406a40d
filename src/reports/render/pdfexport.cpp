#include "reports/render/pdfexport.h"

#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/reportpainter.h"
#include "reports/reportcriteria.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"

#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>

namespace wip::reports {

bool writePdf(const ReportData &data, const QString &fileName, QString *error)
{
    LongWork work(QStringLiteral("正在生成PDF… Writing the PDF…"));
    const PageModel model(data);
    return writePdf(model, fileName, error);
}

namespace {

bool paintPdf(const PageModel &model, QIODevice *device, const QString &fileName, QString *error)
{
    const Pagination pages(model);
    QPdfWriter writer(device);
    writer.setCreator(QStringLiteral("Wip"));
    if (model.sectionCount() > 0)
        writer.setTitle(ReportCriteria::title(*model.section(0).data));
    writer.setPageLayout(Pagination::pageLayout(pages.page(0)));

    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: the PDF could not be started.").arg(QFileInfo(fileName).absoluteFilePath());
        return false;
    }
    const double toDevice = writer.resolution() / 72.0;
    const ReportPainter reportPainter(model);
    for (int i = 0; i < pages.pageCount(); ++i) {
        if (!LongWork::progress(i, pages.pageCount())) {
            painter.end();
            if (error)
                *error = QStringLiteral("cancelled");
            return false;
        }
        if (i > 0) {
            // Each page on its own paper: the parts of a composite may differ.
            writer.setPageLayout(Pagination::pageLayout(pages.page(i)));
            writer.newPage();
        }
        painter.save();
        painter.scale(toDevice, toDevice);
        reportPainter.paintPage(painter, pages, i);
        painter.restore();
    }
    if (!painter.end()) {
        if (error)
            *error = QStringLiteral("%1 cannot be written: the PDF could not be finished.").arg(QFileInfo(fileName).absoluteFilePath());
        return false;
    }
    return true;
}

} // namespace

bool writePdf(const PageModel &model, const QString &fileName, QString *error)
{
    LongWork work(QStringLiteral("正在生成PDF… Writing the PDF…"));
    OutputFile out(fileName);
    if (out.open() && paintPdf(model, &out, fileName, error) && out.commit())
        return true;
    if (error && out.failed())
        *error = out.message();
    return false;
}

} // namespace wip::reports
