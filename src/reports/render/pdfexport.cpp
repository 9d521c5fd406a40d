#include "reports/render/pdfexport.h"

#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/render/pdfpages.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"

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
    PdfPages pdf(pages, device, fileName);
    if (!pdf.begin(error))
        return false;
    do {
        if (!LongWork::progress(pdf.painted(), pages.pageCount())) {
            pdf.finish(nullptr);
            if (error)
                *error = QStringLiteral("cancelled");
            return false;
        }
    } while (pdf.paintNext());
    return pdf.finish(error);
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
