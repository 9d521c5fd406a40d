#include "reports/render/pdfexport.h"

#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/reportpainter.h"

#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>

namespace wip::reports {

bool writePdf(const ReportData &data, const QString &fileName, QString *error)
{
    const PageModel model(data);
    return writePdf(model, data.definition().page, fileName, error);
}

bool writePdf(const PageModel &model, const PageSetup &setup, const QString &fileName, QString *error)
{
    QPdfWriter writer(fileName);
    writer.setCreator(QStringLiteral("Wip"));
    if (!model.sections().empty())
        writer.setTitle(model.section(0).name);
    writer.setPageSize(Pagination::pageSizeFor(setup));
    writer.setPageOrientation(setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);

    const Pagination pages(model, Pagination::pageSizePoints(setup), Pagination::defaultMargins());
    QPainter painter;
    if (!painter.begin(&writer)) {
        if (error)
            *error = QStringLiteral("cannot write %1").arg(QFileInfo(fileName).absoluteFilePath());
        return false;
    }
    const double toDevice = writer.resolution() / 72.0;
    const ReportPainter reportPainter(model);
    for (int i = 0; i < pages.pageCount(); ++i) {
        if (i > 0)
            writer.newPage();
        painter.save();
        painter.scale(toDevice, toDevice);
        reportPainter.paintPage(painter, pages, i);
        painter.restore();
    }
    if (!painter.end()) {
        if (error)
            *error = QStringLiteral("cannot finish %1").arg(QFileInfo(fileName).absoluteFilePath());
        return false;
    }
    return true;
}

} // namespace wip::reports
