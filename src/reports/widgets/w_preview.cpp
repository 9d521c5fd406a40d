#include "reports/widgets/w_preview.h"

#include "reports/render/pdfexport.h"
#include "reports/render/reportpainter.h"
#include "reports/render/xlsxexport.h"
#include "reports/reportcriteria.h"
#include "reports/reportoutput.h"
#include "reports/widgets/pageview.h"
#include "reports/widgets/reportexport.h"
#include "reports/widgets/s_preview.h"
#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/longwork.h"
#include "runtime/outputfile.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/statictext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <QVBoxLayout>

namespace wip::reports {

namespace {
const QString kTitle = QStringLiteral("打印预览");
constexpr double kZoomStep = 1.25;
// A large report opens at its first rows (PageModel::Options::previewFirstRows)
// and measures the rest while the clerk reads them, a slice at a time between events.
constexpr int kSliceRows = 1024;
constexpr int kSliceMilliseconds = 30;

QString suffixOf(w_preview::ExportFormat format)
{
    switch (format) {
    case w_preview::ExportFormat::Pdf:
        return QStringLiteral("pdf");
    case w_preview::ExportFormat::Csv:
        return QStringLiteral("csv");
    case w_preview::ExportFormat::Xlsx:
        break;
    }
    return QStringLiteral("xlsx");
}
} // namespace

w_preview::w_preview(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_preview"));
    setTitle(kTitle);
    resize(1000, 720);
}

w_preview::~w_preview()
{
    // The view reads the pagination; let it go first.
    if (m_view)
        m_view->setPages(nullptr);
}

void w_preview::create()
{
    cb_first = new CommandButton(this, QStringLiteral("cb_first"), QStringLiteral("首页"));
    cb_prior = new CommandButton(this, QStringLiteral("cb_prior"), QStringLiteral("上一页"));
    cb_next = new CommandButton(this, QStringLiteral("cb_next"), QStringLiteral("下一页"));
    cb_last = new CommandButton(this, QStringLiteral("cb_last"), QStringLiteral("末页"));
    st_page = new StaticText(this, QStringLiteral("st_page"));
    // Room for the count of a month's report, so that the buttons stay put while it counts.
    st_page->setMinimumWidth(std::max(110, st_page->fontMetrics().horizontalAdvance(QStringLiteral("Page 88888 of 88888…")) + 8));
    st_page->setAlignment(Qt::AlignCenter);
    cb_zoomin = new CommandButton(this, QStringLiteral("cb_zoomin"), QStringLiteral("放大"));
    cb_zoomout = new CommandButton(this, QStringLiteral("cb_zoomout"), QStringLiteral("缩小"));
    cb_fit = new CommandButton(this, QStringLiteral("cb_fit"), QStringLiteral("整页"));
    cb_width = new CommandButton(this, QStringLiteral("cb_width"), QStringLiteral("页宽"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_print->setDefault(true);
    cb_pdf = new CommandButton(this, QStringLiteral("cb_pdf"), QStringLiteral("存PDF"));
    cb_csv = new CommandButton(this, QStringLiteral("cb_csv"), QStringLiteral("存CSV"));
    cb_xlsx = new CommandButton(this, QStringLiteral("cb_xlsx"), QStringLiteral("存Excel"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    m_view = new PageView(this);
    st_saved = new StaticText(this, QStringLiteral("st_saved"));
    st_saved->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cb_open = new CommandButton(this, QStringLiteral("cb_open"), QStringLiteral("打开文件"));
    cb_folder = new CommandButton(this, QStringLiteral("cb_folder"), QStringLiteral("打开文件夹"));

    auto *bar = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{cb_first, cb_prior, st_page, cb_next, cb_last})
        bar->addWidget(w);
    bar->addSpacing(12);
    for (QWidget *w : std::initializer_list<QWidget *>{cb_zoomin, cb_zoomout, cb_width, cb_fit})
        bar->addWidget(w);
    bar->addSpacing(12);
    for (QWidget *w : std::initializer_list<QWidget *>{cb_print, cb_pdf, cb_csv, cb_xlsx})
        bar->addWidget(w);
    bar->addStretch(1);
    bar->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    // The foot: where the last saved file went, and the ways to open it.
    auto *foot = new QHBoxLayout;
    foot->addWidget(st_saved, 1);
    foot->addWidget(cb_open);
    foot->addWidget(cb_folder);
    layout->addLayout(foot);
    for (QWidget *w : std::initializer_list<QWidget *>{st_saved, cb_open, cb_folder})
        w->setVisible(false);

    on(cb_first, &CommandButton::clicked, this, &w_preview::cb_first_clicked);
    on(cb_prior, &CommandButton::clicked, this, &w_preview::cb_prior_clicked);
    on(cb_next, &CommandButton::clicked, this, &w_preview::cb_next_clicked);
    on(cb_last, &CommandButton::clicked, this, &w_preview::cb_last_clicked);
    on(cb_zoomin, &CommandButton::clicked, this, &w_preview::cb_zoomin_clicked);
    on(cb_zoomout, &CommandButton::clicked, this, &w_preview::cb_zoomout_clicked);
    on(cb_fit, &CommandButton::clicked, this, &w_preview::cb_fit_clicked);
    on(cb_width, &CommandButton::clicked, this, &w_preview::cb_width_clicked);
    on(cb_open, &CommandButton::clicked, this, &w_preview::cb_open_clicked);
    on(cb_folder, &CommandButton::clicked, this, &w_preview::cb_folder_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_preview::cb_print_clicked);
    on(cb_pdf, &CommandButton::clicked, this, &w_preview::cb_pdf_clicked);
    on(cb_csv, &CommandButton::clicked, this, &w_preview::cb_csv_clicked);
    on(cb_xlsx, &CommandButton::clicked, this, &w_preview::cb_xlsx_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_preview::cb_close_clicked);
    connect(m_view, &PageView::pageChanged, this, [this] { showPage(); });
    showPage();
}

void w_preview::open()
{
    const QVariant &parm = message().powerObjectParm;
    QString name;
    if (parm.canConvert<s_preview>() && parm.userType() == qMetaTypeId<s_preview>())
        name = parm.value<s_preview>().dw_name;
    else
        name = message().stringParm;
    if (name.trimmed().isEmpty()) {
        MessageBox(kTitle, QStringLiteral("没有指定要预览的报表文件。\nNo saved report was given to preview."),
                   MessageIcon::StopSign);
        Close();
        return;
    }
    if (!loadReport(name)) {
        Close();
        return;
    }
    // Text the size it prints at, as far as the window's width allows.
    m_view->setZoom(m_view->widthZoom());
}

bool w_preview::loadReport(const QString &hostPath)
{
    QString error;
    std::unique_ptr<SavedReport> report = SavedReport::read(hostPath, &error);
    if (!report) {
        MessageBox(kTitle, QStringLiteral("无法打开报表文件 %1\nThe saved report cannot be opened.\n%2").arg(hostPath, error),
                   MessageIcon::StopSign);
        return false;
    }
    if (m_view)
        m_view->setPages(nullptr);
    m_pages.reset();
    m_model.reset();
    m_report = std::move(report);
    m_fileName = hostPath;
    PageModel::Options options;
    options.firstRows = PageModel::Options::previewFirstRows;
    m_model = std::make_unique<PageModel>(*m_report, options);
    m_pages = std::make_unique<Pagination>(*m_model);
    if (!m_layoutTimer) {
        m_layoutTimer = new QTimer(this);
        m_layoutTimer->setInterval(0);
        connect(m_layoutTimer, &QTimer::timeout, this, &w_preview::layOutMore);
    }
    if (m_model->measuredAll())
        m_layoutTimer->stop();
    else
        m_layoutTimer->start();
    setTitle(QStringLiteral("%1 - %2").arg(ReportCriteria::title(*m_report), kTitle));
    if (m_view)
        m_view->setPages(m_pages.get());
    showPage();
    return true;
}

void w_preview::layOutMore()
{
    if (!m_model || m_model->measuredAll()) {
        m_layoutTimer->stop();
        return;
    }
    QElapsedTimer slice;
    slice.start();
    bool changed = false;
    while (!m_model->measuredAll() && slice.elapsed() < kSliceMilliseconds)
        changed = m_model->measureMore(kSliceRows) || changed;
    if (m_model->measuredAll())
        m_layoutTimer->stop();
    if (changed)
        repaginate();
    else
        showPage();   // the page count is no longer provisional
}

bool w_preview::finishLayout()
{
    if (!m_model || m_model->measuredAll())
        return true;
    LongWork work(QStringLiteral("正在排版… Laying the pages out…"));
    bool changed = false;
    while (!m_model->measuredAll()) {
        const auto [done, all] = m_model->measuredRows();
        if (!LongWork::progress(done, all))
            break;
        changed = m_model->measureMore(kSliceRows * 8) || changed;
    }
    if (m_model->measuredAll())
        m_layoutTimer->stop();
    if (changed)
        repaginate();
    return m_model->measuredAll();
}

void w_preview::repaginate()
{
    const int page = m_view ? m_view->page() : 0;
    auto pages = std::make_unique<Pagination>(*m_model);
    if (m_view) {
        m_view->setPages(pages.get());
        m_view->setPage(std::min(page, pages->pageCount() - 1));
    }
    m_pages = std::move(pages);
    showPage();
}

int w_preview::pageCount() const
{
    return m_pages ? m_pages->pageCount() : 0;
}

int w_preview::currentPage() const
{
    return m_pages && m_view ? m_view->page() + 1 : 0;
}

QString w_preview::pageText() const
{
    if (!m_pages)
        return QString();
    // While the rest is being laid out, the count so far.
    const bool counting = m_model && !m_model->measuredAll();
    return QStringLiteral("Page %1 of %2%3").arg(currentPage()).arg(pageCount()).arg(counting ? QStringLiteral("…") : QString());
}

void w_preview::showPage()
{
    if (!st_page)
        return;
    st_page->setText(pageText());
    const int page = currentPage();
    const bool any = pageCount() > 0;
    cb_first->setEnabled(any && page > 1);
    cb_prior->setEnabled(any && page > 1);
    cb_next->setEnabled(any && page < pageCount());
    cb_last->setEnabled(any && page < pageCount());
    for (CommandButton *b : {cb_zoomin, cb_zoomout, cb_fit, cb_width, cb_print, cb_pdf, cb_csv, cb_xlsx})
        b->setEnabled(any);
}

bool w_preview::printTo(QPrinter &printer)
{
    if (!m_model || !m_pages || !finishLayout())
        return false;
    printer.setFullPage(true);
    // The report's own paper, page by page, unless the clerk chose another in the
    // print dialog: then every page on that one.
    const QPageLayout chosen = printer.pageLayout();
    const QPageLayout own = Pagination::pageLayout(m_pages->page(0));
    const bool ownPaper = chosen.pageSize().isEquivalentTo(own.pageSize()) && chosen.orientation() == own.orientation();
    std::unique_ptr<Pagination> other;
    if (!ownPaper)
        other = std::make_unique<Pagination>(*m_model, chosen.fullRectPoints().size(), Pagination::defaultMargins());
    const Pagination &pages = other ? *other : *m_pages;
    int first = 1;
    int last = pages.pageCount();
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        first = std::max(1, printer.fromPage());
        last = std::min(last, printer.toPage() > 0 ? printer.toPage() : last);
    }
    if (ownPaper)
        printer.setPageLayout(Pagination::pageLayout(pages.page(first - 1)));
    QPainter painter;
    if (!painter.begin(&printer)) {
        MessageBox(kTitle, QStringLiteral("无法打印。\nThe printer cannot be used."), MessageIcon::StopSign);
        return false;
    }
    const ReportPainter reportPainter(*m_model);
    LongWork work(QStringLiteral("正在打印… Printing…"));
    for (int page = first; page <= last; ++page) {
        if (!LongWork::progress(page - first, last - first + 1)) {
            printer.abort();   // the pages sent so far are taken back from the printer's queue
            painter.end();
            return false;
        }
        if (page > first) {
            if (ownPaper)
                printer.setPageLayout(Pagination::pageLayout(pages.page(page - 1)));
            printer.newPage();
        }
        const double toDevice = printer.resolution() / 72.0;
        painter.save();
        painter.scale(toDevice, toDevice);
        reportPainter.paintPage(painter, pages, page - 1);
        painter.restore();
    }
    return painter.end();
}

bool w_preview::saveAs(const QString &fileName, ExportFormat format)
{
    if (!m_report || !m_model)
        return false;
    QString error;
    bool ok = false;
    LongWork work(QStringLiteral("正在保存… Saving…"));
    switch (format) {
    case ExportFormat::Pdf:
        ok = finishLayout() && writePdf(*m_model, fileName, &error);
        break;
    case ExportFormat::Xlsx:
        ok = writeXlsx(*m_report, fileName, &error);
        break;
    case ExportFormat::Csv: {
        const QByteArray bytes = ReportOutput::toCsv(*m_report);
        ok = !LongWork::cancelled() && OutputFile::save(fileName, bytes, &error);
        break;
    }
    }
    if (LongWork::cancelled())
        return false;   // cancelled: no file, nothing to say
    if (!ok) {
        MessageBox(kTitle, QStringLiteral("无法保存文件 %1\nThe file cannot be written.\n%2").arg(fileName, error),
                   MessageIcon::StopSign);
        return false;
    }
    m_savedFile = QFileInfo(fileName).absoluteFilePath();
    if (st_saved) {
        st_saved->setText(savedText());
        for (QWidget *w : std::initializer_list<QWidget *>{st_saved, cb_open, cb_folder})
            w->setVisible(true);
    }
    return true;
}

QString w_preview::savedText() const
{
    return m_savedFile.isEmpty() ? QString() : ReportExport::savedText(m_savedFile);
}

QString w_preview::suggestedFileName(ExportFormat format) const
{
    return ReportExport::suggestedFileName(m_report ? ReportCriteria::title(*m_report) : QString(), suffixOf(format));
}

void w_preview::saveWithDialog(ExportFormat format)
{
    if (!m_report)
        return;
    QString filter;
    switch (format) {
    case ExportFormat::Pdf:
        filter = QStringLiteral("PDF (*.pdf)");
        break;
    case ExportFormat::Csv:
        filter = QStringLiteral("CSV (*.csv)");
        break;
    case ExportFormat::Xlsx:
        filter = QStringLiteral("Excel (*.xlsx)");
        break;
    }
    QString file = SaveFileService::ask(this, kTitle, suggestedFileName(format), filter);
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QLatin1Char('.') + suffixOf(format);
    saveAs(file, format);
}

void w_preview::cb_first_clicked()
{
    m_view->setPage(0);
}

void w_preview::cb_prior_clicked()
{
    m_view->setPage(m_view->page() - 1);
}

void w_preview::cb_next_clicked()
{
    m_view->setPage(m_view->page() + 1);
}

void w_preview::cb_last_clicked()
{
    m_view->setPage(pageCount() - 1);
}

void w_preview::cb_zoomin_clicked()
{
    m_view->setZoom(m_view->zoom() * kZoomStep);
}

void w_preview::cb_zoomout_clicked()
{
    m_view->setZoom(m_view->zoom() / kZoomStep);
}

void w_preview::cb_fit_clicked()
{
    m_view->setZoom(m_view->fitZoom());
}

void w_preview::cb_width_clicked()
{
    m_view->setZoom(m_view->widthZoom());
}

void w_preview::cb_open_clicked()
{
    if (!m_savedFile.isEmpty() && !FileOpener::open(m_savedFile))
        MessageBox(kTitle, QStringLiteral("没有程序可以打开 %1\nNo program on this computer opens the file.")
                               .arg(QDir::toNativeSeparators(m_savedFile)),
                   MessageIcon::Exclamation);
}

void w_preview::cb_folder_clicked()
{
    const QString folder = QFileInfo(m_savedFile).absolutePath();
    if (!m_savedFile.isEmpty() && !FileOpener::open(folder))
        MessageBox(kTitle, QStringLiteral("无法打开文件夹 %1\nThe folder cannot be opened.").arg(QDir::toNativeSeparators(folder)),
                   MessageIcon::Exclamation);
}

void w_preview::cb_print_clicked()
{
    if (!m_report)
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(Pagination::pageLayout(m_pages->page(0)));
    printer.setDocName(ReportCriteria::title(*m_report));
    printer.setFromTo(1, pageCount());
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dialog.exec() == QDialog::Accepted)
        printTo(printer);
}

void w_preview::cb_pdf_clicked()
{
    saveWithDialog(ExportFormat::Pdf);
}

void w_preview::cb_csv_clicked()
{
    saveWithDialog(ExportFormat::Csv);
}

void w_preview::cb_xlsx_clicked()
{
    saveWithDialog(ExportFormat::Xlsx);
}

void w_preview::cb_close_clicked()
{
    Close();
}

void registerPreviewWindow()
{
    Window::registerClass<w_preview>(QStringLiteral("w_preview"));
}

} // namespace wip::reports
