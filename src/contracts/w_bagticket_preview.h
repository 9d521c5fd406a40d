#pragma once

#include "desk/bagticket.h"
#include "runtime/widgets/window.h"

#include <QList>
#include <QStringList>
#include <memory>

class QPrinter;
class QPrintPreviewWidget;

namespace wip {

class CommandButton;
class StaticText;

// "袋卡预览": the bag tickets of contracts as they print, four to an A4 page,
// with printing through the print dialog and saving as PDF. Opened by 打印袋卡
// of the sales contracts with the contract numbers:
//     OpenWithParm("w_bagticket_preview", QStringList{"KC1001"});
// A contract without lines is said so and nothing is shown. A saved PDF goes
// where the clerk chooses (the exports folder at first); the window's foot then
// says where it is and offers to open it or its folder; where no program opens
// it, the message names the file.
class w_bagticket_preview : public Window
{
    Q_OBJECT
public:
    explicit w_bagticket_preview(QWidget *parent = nullptr);
    ~w_bagticket_preview() override;

    void open() override;

    // Reads the tickets of the contracts (SQLCA) and shows them; false, after a
    // message box, when there are none or they cannot be read.
    bool loadTickets(const QStringList &scnos);
    const QList<BagTicket> &tickets() const { return m_tickets; }
    int pageCount() const;

    bool printTo(QPrinter &printer);
    // Writes the tickets as a PDF; a message box tells a failure, the foot where it went.
    bool saveAs(const QString &fileName);
    QString suggestedFileName() const;   // exports folder, "袋卡 <scno> <yyyy-mm-dd>.pdf"
    QString savedFile() const { return m_savedFile; }

    // --- handlers ---
    void cb_print_clicked();
    void cb_pdf_clicked();
    void cb_zoomin_clicked();
    void cb_zoomout_clicked();
    void cb_fit_clicked();
    void cb_open_clicked();
    void cb_folder_clicked();
    void cb_close_clicked();

protected:
    void create() override;

private:
    std::unique_ptr<QPrinter> m_printer;   // the preview's paper
    QList<BagTicket> m_tickets;
    QStringList m_scnos;
    QString m_savedFile;

    CommandButton *cb_print = nullptr;
    CommandButton *cb_pdf = nullptr;
    CommandButton *cb_zoomin = nullptr;
    CommandButton *cb_zoomout = nullptr;
    CommandButton *cb_fit = nullptr;
    CommandButton *cb_close = nullptr;
    QPrintPreviewWidget *pv_tickets = nullptr;
    StaticText *st_saved = nullptr;
    CommandButton *cb_open = nullptr;
    CommandButton *cb_folder = nullptr;
};

} // namespace wip
