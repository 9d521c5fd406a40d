#include "contracts/w_bagticket_preview.h"

#include "contracts/bagticketpdf.h"
#include "runtime/drivemapping.h"
#include "runtime/fileopener.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/savefileservice.h"
#include "runtime/widgets/statictext.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QVBoxLayout>

namespace wip {

namespace {
const QString kPreviewTitle = QStringLiteral("袋卡预览");
constexpr double kZoomStep = 1.25;
}

w_bagticket_preview::w_bagticket_preview(QWidget *parent)
    : Window(parent), m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution))
{
    setWindowClassName(QStringLiteral("w_bagticket_preview"));
    setTitle(kPreviewTitle);
    resize(900, 720);
    m_printer->setFullPage(true);
}

w_bagticket_preview::~w_bagticket_preview() = default;

void w_bagticket_preview::create()
{
    cb_zoomin = new CommandButton(this, QStringLiteral("cb_zoomin"), QStringLiteral("放大"));
    cb_zoomout = new CommandButton(this, QStringLiteral("cb_zoomout"), QStringLiteral("缩小"));
    cb_fit = new CommandButton(this, QStringLiteral("cb_fit"), QStringLiteral("整页"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_print->setDefault(true);
    cb_pdf = new CommandButton(this, QStringLiteral("cb_pdf"), QStringLiteral("存PDF"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    pv_tickets = new QPrintPreviewWidget(m_printer.get(), this);
    pv_tickets->setObjectName(QStringLiteral("pv_tickets"));
    st_saved = new StaticText(this, QStringLiteral("st_saved"));
    st_saved->setTextInteractionFlags(Qt::TextSelectableByMouse);
    cb_open = new CommandButton(this, QStringLiteral("cb_open"), QStringLiteral("打开文件"));
    cb_folder = new CommandButton(this, QStringLiteral("cb_folder"), QStringLiteral("打开文件夹"));

    auto *bar = new QHBoxLayout;
    for (QWidget *w : std::initializer_list<QWidget *>{cb_zoomin, cb_zoomout, cb_fit})
        bar->addWidget(w);
    bar->addSpacing(12);
    bar->addWidget(cb_print);
    bar->addWidget(cb_pdf);
    bar->addStretch(1);
    bar->addWidget(cb_close);
    auto *foot = new QHBoxLayout;
    foot->addWidget(st_saved, 1);
    foot->addWidget(cb_open);
    foot->addWidget(cb_folder);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(pv_tickets, 1);
    layout->addLayout(foot);
    for (QWidget *w : std::initializer_list<QWidget *>{st_saved, cb_open, cb_folder})
        w->setVisible(false);

    connect(pv_tickets, &QPrintPreviewWidget::paintRequested, this, [this](QPrinter *printer) {
        printer->setFullPage(true);
        BagTicketPdf::paint(*printer, m_tickets, QSizeF());
    });
    on(cb_zoomin, &CommandButton::clicked, this, &w_bagticket_preview::cb_zoomin_clicked);
    on(cb_zoomout, &CommandButton::clicked, this, &w_bagticket_preview::cb_zoomout_clicked);
    on(cb_fit, &CommandButton::clicked, this, &w_bagticket_preview::cb_fit_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_bagticket_preview::cb_print_clicked);
    on(cb_pdf, &CommandButton::clicked, this, &w_bagticket_preview::cb_pdf_clicked);
    on(cb_open, &CommandButton::clicked, this, &w_bagticket_preview::cb_open_clicked);
    on(cb_folder, &CommandButton::clicked, this, &w_bagticket_preview::cb_folder_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_bagticket_preview::cb_close_clicked);
}

void w_bagticket_preview::open()
{
    const QVariant &parm = message().powerObjectParm;
    QStringList scnos = parm.typeId() == QMetaType::QStringList ? parm.toStringList() : QStringList{parm.toString()};
    scnos.removeAll(QString());
    if (scnos.isEmpty()) {
        MessageBox(kPreviewTitle, QStringLiteral("没有指定合约, 没有袋卡可预览。"), MessageIcon::Exclamation);
        Close();
        return;
    }
    if (!loadTickets(scnos))
        Close();
}

bool w_bagticket_preview::loadTickets(const QStringList &scnos)
{
    QList<BagTicket> tickets;
    QStringList missing;
    QString error;
    if (!BagTicket::read(Transaction::sqlca(), scnos, &tickets, &missing, &error)) {
        MessageBox(kPreviewTitle, QStringLiteral("读取合约未成功: ") + error, MessageIcon::Exclamation);
        return false;
    }
    if (tickets.isEmpty()) {
        MessageBox(kPreviewTitle, QStringLiteral("合约 %1 没有订货明细, 没有袋卡可打印!").arg(scnos.join(QStringLiteral(", "))),
                   MessageIcon::Exclamation);
        return false;
    }
    m_tickets = tickets;
    m_scnos = scnos;
    setTitle(QStringLiteral("%1 %2 (%3 张)").arg(kPreviewTitle, scnos.join(QStringLiteral(", "))).arg(tickets.size()));
    pv_tickets->updatePreview();
    pv_tickets->fitInView();
    return true;
}

int w_bagticket_preview::pageCount() const
{
    return pv_tickets ? pv_tickets->pageCount() : 0;
}

bool w_bagticket_preview::printTo(QPrinter &printer)
{
    printer.setFullPage(true);
    if (!BagTicketPdf::paint(printer, m_tickets, QSizeF())) {
        MessageBox(kPreviewTitle, QStringLiteral("无法打印。\nThe printer cannot be used."), MessageIcon::StopSign);
        return false;
    }
    return true;
}

bool w_bagticket_preview::saveAs(const QString &fileName)
{
    QString error;
    if (!BagTicketPdf::write(m_tickets, fileName, QSizeF(), &error)) {
        MessageBox(kPreviewTitle, QStringLiteral("袋卡未能写入: ") + error, MessageIcon::StopSign);
        return false;
    }
    m_savedFile = QFileInfo(fileName).absoluteFilePath();
    st_saved->setText(QStringLiteral("已保存到 Saved to: %1").arg(QDir::toNativeSeparators(m_savedFile)));
    for (QWidget *w : std::initializer_list<QWidget *>{st_saved, cb_open, cb_folder})
        w->setVisible(true);
    return true;
}

QString w_bagticket_preview::suggestedFileName() const
{
    QString name = QStringLiteral("袋卡 %1 %2").arg(m_scnos.join(QLatin1Char(' ')),
                                                   QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    // Characters that cannot stand in a file name on the factory's machines.
    for (const QChar bad : QStringLiteral("\\/:*?\"<>|"))
        name.replace(bad, QLatin1Char('-'));
    const QString folder = DriveMapping::instance().folder(QLatin1Char('D'));
    QDir().mkpath(folder);
    return QDir(folder).filePath(name.simplified() + QStringLiteral(".pdf"));
}

void w_bagticket_preview::cb_print_clicked()
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(windowTitle());
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        printTo(printer);
}

void w_bagticket_preview::cb_pdf_clicked()
{
    QString file = SaveFileService::ask(this, kPreviewTitle, suggestedFileName(), QStringLiteral("PDF (*.pdf)"));
    if (file.isEmpty())
        return;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".pdf");
    saveAs(file);
}

void w_bagticket_preview::cb_zoomin_clicked()
{
    pv_tickets->setZoomFactor(pv_tickets->zoomFactor() * kZoomStep);
}

void w_bagticket_preview::cb_zoomout_clicked()
{
    pv_tickets->setZoomFactor(pv_tickets->zoomFactor() / kZoomStep);
}

void w_bagticket_preview::cb_fit_clicked()
{
    pv_tickets->fitInView();
}

void w_bagticket_preview::cb_open_clicked()
{
    if (!m_savedFile.isEmpty() && !FileOpener::open(m_savedFile))
        MessageBox(kPreviewTitle, QStringLiteral("没有程序可以打开 PDF。文件在:\n%1\nNo program on this computer opens the file; it is there.")
                               .arg(QDir::toNativeSeparators(m_savedFile)),
                   MessageIcon::Exclamation);
}

void w_bagticket_preview::cb_folder_clicked()
{
    const QString folder = QFileInfo(m_savedFile).absolutePath();
    if (!m_savedFile.isEmpty() && !FileOpener::open(folder))
        MessageBox(kPreviewTitle, QStringLiteral("无法打开文件夹。文件在:\n%1").arg(QDir::toNativeSeparators(m_savedFile)),
                   MessageIcon::Exclamation);
}

void w_bagticket_preview::cb_close_clicked()
{
    Close();
}

} // namespace wip
