#pragma once

#include "runtime/widgets/window.h"

class QChart;
class QChartView;
class QLabel;
class QPainter;

namespace wip {

class BarFigures;
class CommandButton;

// "产量统计": the figures of day_wip as bar charts, one bar group per department:
// pieces finished today, this month and in process, and the stones set today and
// this month (on a chart of their own: stones run to thousands where pieces run
// to hundreds). Every bar carries its figure; the titles carry the day the
// figures are of (written into day_wip by the recomputation), however the window
// was opened. Before any day was computed it shows no bars and says where to
// compute one (查询 of the daily output window). It follows a recompute: the
// daily output window refreshes it after its 查询, and coming back to the window
// reads day_wip again. "打印" previews the page before printing; saves as PNG or PDF.
class w_production : public Window
{
    Q_OBJECT
public:
    explicit w_production(QWidget *parent = nullptr);

    void open() override;

    // Reads day_wip again and redraws (a failure ends with the trace line).
    void refresh();

    void cb_refresh_clicked();
    void cb_print_clicked();
    void cb_save_clicked();
    void cb_close_clicked();

    // The department rows shown (for tests): code and the five figures.
    struct Row
    {
        QString dep;
        double todayFin = 0, todayTot = 0, wip = 0, todaySet = 0, monthSet = 0;
    };
    const QList<Row> &rows() const { return m_rows; }
    QChart *piecesChart() const { return m_pieces; }
    QChart *stonesChart() const { return m_stones; }
    BarFigures *piecesFigures() const { return m_piecesFigures; }
    BarFigures *stonesFigures() const { return m_stonesFigures; }
    // The day of the figures shown, "yyyy-MM-dd"; empty when no day was computed
    // (rows() is empty then).
    QString date() const { return m_date; }
    QString dateText() const;                   // what the window says of the day shown
    static QString notComputedText();

    // Writes both charts to one PNG or PDF (by the file's suffix), whole or not at
    // all; false on failure, with *error saying why.
    bool saveTo(const QString &fileName, QString *error = nullptr);

protected:
    void create() override;
    void changeEvent(QEvent *event) override;

private:
    void load();
    void rebuild();
    QImage picture(const QSize &size);
    void paintPage(QPainter &p, const QRect &page);
    QString chartTitle(const QString &subject) const;

    QLabel *st_date = nullptr;
    QLabel *st_none = nullptr;
    QChartView *m_piecesView = nullptr;
    QChartView *m_stonesView = nullptr;
    QChart *m_pieces = nullptr;
    QChart *m_stones = nullptr;
    BarFigures *m_piecesFigures = nullptr;
    BarFigures *m_stonesFigures = nullptr;
    CommandButton *cb_refresh = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_save = nullptr;
    CommandButton *cb_close = nullptr;
    QList<Row> m_rows;
    QString m_date;
    bool m_loaded = false;
};

} // namespace wip
