#pragma once

#include "reports/render/pagemodel.h"
#include "reports/render/pagination.h"
#include "reports/savedreport.h"
#include "runtime/widgets/window.h"

#include <memory>

class QPrinter;

namespace wip {
class CommandButton;
class StaticText;
}

class QTimer;

namespace wip::reports {

class PageView;

// The print preview: opened by every print button with OpenWithParm("w_preview",
// s_preview), it reads the saved report named by dw_name and shows it page by page
// as it will print - header and captions on every page, "Page n of m" - with page
// navigation, zoom in, zoom out, page width and whole page, printing through the
// print dialog, and saving as PDF, CSV or a spreadsheet workbook. It needs no
// database. A file that is missing or does not read as a saved report is reported
// in a message box and the window closes.
//
// The window carries the report's title and opens at the page's width. The save
// dialog starts in the exports folder (drive D:) with the title and the date as the
// name; after a save the window's foot says where the file went and offers to open
// it, or its folder, with the desktop's program.
class w_preview : public Window
{
    Q_OBJECT

public:
    enum class ExportFormat { Pdf, Csv, Xlsx };

    explicit w_preview(QWidget *parent = nullptr);
    ~w_preview() override;

    void open() override;

    // Reads a saved report (host path) and shows its first page. False (after the
    // message box) when it cannot be read.
    bool loadReport(const QString &hostPath);
    int pageCount() const;
    int currentPage() const;               // 1-based, 0 when nothing is shown
    QString pageText() const;              // "Page 1 of 3"
    const PageView *pageView() const { return m_view; }

    // Prints every page (or the printer's page range) on the printer's paper.
    bool printTo(QPrinter &printer);
    // Writes the shown report to a local file; a message box tells a failure, the
    // window's foot where the file went.
    bool saveAs(const QString &fileName, ExportFormat format);
    // Where the save dialog starts: the exports folder, "<title> <yyyy-mm-dd>.<ext>".
    QString suggestedFileName(ExportFormat format) const;
    QString savedFile() const { return m_savedFile; }
    QString savedText() const;             // what the foot says after a save

    // Event handlers.
    void cb_first_clicked();
    void cb_prior_clicked();
    void cb_next_clicked();
    void cb_last_clicked();
    void cb_zoomin_clicked();
    void cb_zoomout_clicked();
    void cb_fit_clicked();
    void cb_width_clicked();
    void cb_print_clicked();
    void cb_pdf_clicked();
    void cb_csv_clicked();
    void cb_xlsx_clicked();
    void cb_close_clicked();
    void cb_open_clicked();
    void cb_folder_clicked();

protected:
    void create() override;

private:
    void showPage();
    void saveWithDialog(ExportFormat format);
    // The pages cut again after the layout changed, the page shown kept.
    void repaginate();
    // A slice of the rows not measured yet, between the clerk's events.
    void layOutMore();
    // Every row measured, before the pages are printed or saved; false when the
    // clerk cancelled.
    bool finishLayout();

    std::unique_ptr<SavedReport> m_report;
    std::unique_ptr<PageModel> m_model;
    std::unique_ptr<Pagination> m_pages;
    QTimer *m_layoutTimer = nullptr;   // measures the rest of a large report
    QString m_fileName;
    QString m_savedFile;

    CommandButton *cb_first = nullptr;
    CommandButton *cb_prior = nullptr;
    CommandButton *cb_next = nullptr;
    CommandButton *cb_last = nullptr;
    StaticText *st_page = nullptr;
    CommandButton *cb_zoomin = nullptr;
    CommandButton *cb_zoomout = nullptr;
    CommandButton *cb_fit = nullptr;
    CommandButton *cb_width = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_pdf = nullptr;
    CommandButton *cb_csv = nullptr;
    CommandButton *cb_xlsx = nullptr;
    CommandButton *cb_close = nullptr;
    StaticText *st_saved = nullptr;
    CommandButton *cb_open = nullptr;
    CommandButton *cb_folder = nullptr;
    PageView *m_view = nullptr;
};

// Registers w_preview with the runtime (called once by the application at start-up).
void registerPreviewWindow();

} // namespace wip::reports
