#include "daily_output/w_production.h"

#include "daily_output/barfigures.h"
#include "runtime/cursor.h"
#include "runtime/hosterror.h"
#include "runtime/outputfile.h"
#include "runtime/sqlvalue.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/messageboxservice.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QValueAxis>
#include <QVBoxLayout>

namespace wip {

namespace {

QChart *makeChart(const QString &title)
{
    auto *chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPointSize(10);
    chart->setFont(f);
    chart->legend()->setFont(f);
    f.setPointSize(12);
    f.setBold(true);
    chart->setTitleFont(f);
    return chart;
}

void fill(QChart *chart, BarFigures &figures, const QStringList &categories,
          const QList<QPair<QString, QList<double>>> &sets)
{
    chart->removeAllSeries();
    const auto axes = chart->axes();
    for (QAbstractAxis *axis : axes) {
        chart->removeAxis(axis);
        delete axis;
    }
    auto *series = new QBarSeries;
    double top = 0;
    for (const auto &[name, values] : sets) {
        auto *set = new QBarSet(name);
        for (double v : values) {
            *set << v;
            top = std::max(top, v);
        }
        series->append(set);
    }
    chart->addSeries(series);
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    chart->addAxis(x, Qt::AlignBottom);
    series->attachAxis(x);
    auto *y = new QValueAxis;
    y->setRange(0, top > 0 ? top : 10);
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->applyNiceNumbers();
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(y);
    figures.show(series, y);
}

} // namespace

w_production::w_production(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_production"));
    setTitle(QStringLiteral("产量统计"));
    resize(1000, 720);
}

void w_production::create()
{
    st_date = new QLabel(this);
    st_date->setObjectName(QStringLiteral("st_date"));
    // In place of the charts while no day has been computed.
    st_none = new QLabel(this);
    st_none->setObjectName(QStringLiteral("st_none"));
    st_none->setAlignment(Qt::AlignCenter);
    st_none->setWordWrap(true);
    st_none->setStyleSheet(QStringLiteral("color: #a03000; font-size: 13pt;"));
    st_none->hide();
    cb_refresh = new CommandButton(this, QStringLiteral("cb_refresh"), QStringLiteral("刷新"));
    cb_print = new CommandButton(this, QStringLiteral("cb_print"), QStringLiteral("打印"));
    cb_save = new CommandButton(this, QStringLiteral("cb_save"), QStringLiteral("保存图片"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);

    m_pieces = makeChart(QStringLiteral("件数 Pieces"));
    m_stones = makeChart(QStringLiteral("镶石粒数 Stones set"));
    m_piecesFigures = new BarFigures(m_pieces);
    m_stonesFigures = new BarFigures(m_stones);
    m_piecesView = new QChartView(m_pieces, this);
    m_piecesView->setObjectName(QStringLiteral("chart_pieces"));
    m_piecesView->setRenderHint(QPainter::Antialiasing);
    m_stonesView = new QChartView(m_stones, this);
    m_stonesView->setObjectName(QStringLiteral("chart_stones"));
    m_stonesView->setRenderHint(QPainter::Antialiasing);

    auto *top = new QHBoxLayout;
    top->addWidget(st_date, 1);
    top->addWidget(cb_refresh);
    top->addWidget(cb_print);
    top->addWidget(cb_save);
    top->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(st_none, 1);
    layout->addWidget(m_piecesView, 3);
    layout->addWidget(m_stonesView, 2);

    on(cb_refresh, &CommandButton::clicked, this, &w_production::cb_refresh_clicked);
    on(cb_print, &CommandButton::clicked, this, &w_production::cb_print_clicked);
    on(cb_save, &CommandButton::clicked, this, &w_production::cb_save_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_production::cb_close_clicked);
}

void w_production::open()
{
    load();
}

void w_production::refresh()
{
    Dispatcher::run(this, "refresh", [this] { load(); });
}

void w_production::changeEvent(QEvent *event)
{
    Window::changeEvent(event);
    // Back at the window: figures another clerk (or wip recompute-day-wip)
    // computed meanwhile are shown.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_loaded)
        refresh();
}

void w_production::load()
{
    Transaction &tr = Transaction::sqlca();
    Cursor cursor(tr, QStringLiteral("select dep_c, dep_e, today_fin, today_tot, wip, today_set, month_set, ldate "
                                     "from day_wip order by dep_c"));
    if (!cursor.open())
        throw HostError(ErrDatabase, tr.sqlErrText);
    QList<Row> rows;
    // The recomputation writes the day of its figures into every row; rows
    // without a day have never been computed.
    QDate day;
    while (const auto row = cursor.fetch()) {
        Row r;
        r.dep = row->at(0).toString();
        r.todayFin = row->at(2).toDouble();
        r.todayTot = row->at(3).toDouble();
        r.wip = row->at(4).toDouble();
        r.todaySet = row->at(5).toDouble();
        r.monthSet = row->at(6).toDouble();
        rows.append(r);
        const QDate stamped = fromDbValue(row->at(7), ColumnKind::DateTime).toDateTime().date();
        if (stamped.isValid() && (!day.isValid() || stamped > day))
            day = stamped;
    }
    cursor.close();
    m_loaded = true;

    // Never computed: no bars of zeros that look like a day without output.
    m_rows = day.isValid() ? rows : QList<Row>();
    m_date = day.isValid() ? day.toString(QStringLiteral("yyyy-MM-dd")) : QString();
    const bool computed = !m_date.isEmpty();
    st_date->setText(computed ? QStringLiteral("日期 Date: %1").arg(m_date) : QStringLiteral("未计算 Not computed"));
    st_none->setText(computed ? QString() : notComputedText());
    st_none->setVisible(!computed);
    m_piecesView->setVisible(computed);
    m_stonesView->setVisible(computed);
    cb_print->setEnabled(computed);   // nothing to print or save yet
    cb_save->setEnabled(computed);
    rebuild();
}

QString w_production::dateText() const
{
    if (!st_date)
        return QString();
    return m_date.isEmpty() ? st_none->text() : st_date->text();
}

QString w_production::notComputedText()
{
    return QStringLiteral("还没有计算过产量。请在 在做资料 (部门) 窗口选日期, 按 查询 计算。\n"
                          "No day has been computed yet: in 在做资料 (部门) choose the day and press 查询.");
}

QString w_production::chartTitle(const QString &subject) const
{
    if (m_date.isEmpty())
        return subject + QStringLiteral(" - 未计算 Not computed");
    if (m_rows.isEmpty())
        return subject + QStringLiteral(" - 没有记录 No rows");
    return QStringLiteral("%1  %2").arg(subject, m_date);
}

void w_production::rebuild()
{
    QStringList deps;
    QList<double> fin, tot, wipQty, set, mset;
    for (const Row &r : std::as_const(m_rows)) {
        deps << r.dep;
        fin << r.todayFin;
        tot << r.todayTot;
        wipQty << r.wip;
        set << r.todaySet;
        mset << r.monthSet;
    }
    m_pieces->setTitle(chartTitle(QStringLiteral("件数 Pieces")));
    m_stones->setTitle(chartTitle(QStringLiteral("镶石粒数 Stones set")));
    fill(m_pieces, *m_piecesFigures, deps,
         {{QStringLiteral("本日完成 Today Finish"), fin},
          {QStringLiteral("本月完成 Month Finish"), tot},
          {QStringLiteral("在做 WIP"), wipQty}});
    fill(m_stones, *m_stonesFigures, deps,
         {{QStringLiteral("本日镶石 Today Set"), set}, {QStringLiteral("本月镶石 Month Set"), mset}});
}

QImage w_production::picture(const QSize &size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const int titleHeight = 40;
    QFont f(QStringLiteral("WenQuanYi Micro Hei"));
    f.setPointSize(14);
    p.setFont(f);
    p.drawText(QRect(0, 0, size.width(), titleHeight), Qt::AlignCenter,
               QStringLiteral("产量统计  ")
                   + (m_date.isEmpty() ? QStringLiteral("未计算 Not computed") : st_date->text()));
    const int h = (size.height() - titleHeight) / 5;
    m_piecesView->render(&p, QRectF(0, titleHeight, size.width(), h * 3));
    m_stonesView->render(&p, QRectF(0, titleHeight + h * 3, size.width(), h * 2));
    return image;
}

void w_production::paintPage(QPainter &p, const QRect &page)
{
    const QImage img = picture(QSize(1400, 1000));
    const QImage fitted = img.scaled(page.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    p.drawImage(QPoint(page.x() + (page.width() - fitted.width()) / 2, page.y()), fitted);
}

bool w_production::saveTo(const QString &fileName, QString *error)
{
    // Written whole or not at all: a full disk leaves no half a picture.
    OutputFile out(fileName);
    bool drawn = out.open();
    if (drawn && QFileInfo(fileName).suffix().compare(QLatin1String("pdf"), Qt::CaseInsensitive) == 0) {
        QPdfWriter writer(&out);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageOrientation(QPageLayout::Landscape);
        writer.setResolution(150);
        QPainter p;
        drawn = p.begin(&writer);
        if (drawn) {
            paintPage(p, p.viewport());
            drawn = p.end();
        }
    } else if (drawn) {
        const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
        drawn = picture(QSize(1400, 1000)).save(&out, format.isEmpty() ? "PNG" : format.constData());
    }
    if (drawn && out.commit())
        return true;
    if (error)
        *error = out.failed() ? out.message() : QStringLiteral("the picture could not be drawn");
    out.discard();
    return false;
}

void w_production::cb_refresh_clicked()
{
    load();
}

void w_production::cb_print_clicked()
{
    // The preview first, as every print button of the application: the page at
    // its width, printed from there.
    auto *printer = new QPrinter(QPrinter::HighResolution);
    printer->setPageOrientation(QPageLayout::Landscape);
    printer->setDocName(QStringLiteral("产量统计 %1").arg(m_date));
    auto *preview = new QPrintPreviewDialog(printer, this);
    preview->setObjectName(QStringLiteral("dlg_print_preview"));
    preview->setWindowTitle(QStringLiteral("打印预览 Print preview - 产量统计 %1").arg(m_date));
    preview->setAttribute(Qt::WA_DeleteOnClose);
    connect(preview, &QObject::destroyed, preview, [printer] { delete printer; });
    connect(preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *target) {
        QPainter p(target);
        paintPage(p, p.viewport());
    });
    preview->resize(std::max(width(), 900), std::max(height(), 640));
    if (auto *view = preview->findChild<QPrintPreviewWidget *>())
        view->fitToWidth();
    preview->open();
}

void w_production::cb_save_clicked()
{
    const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("保存图片"), QStringLiteral("production.png"),
                                                      QStringLiteral("PNG (*.png);;PDF (*.pdf)"));
    if (name.isEmpty())
        return;
    QString error;
    if (!saveTo(name, &error))
        MessageBox(QStringLiteral("保存"), QStringLiteral("无法写入文件 Cannot write the file:\n%1\n%2").arg(name, error));
}

void w_production::cb_close_clicked()
{
    Close();
}

} // namespace wip
