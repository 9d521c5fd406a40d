#pragma once

#include "runtime/widgets/window.h"

class QChart;
class QChartView;
class QLabel;

namespace wip {

class CommandButton;

// "产量统计": the figures of day_wip as bar charts, one bar group per department:
// pieces finished today, this month and in process, and the stones set today and
// this month (on a chart of their own: stones run to thousands where pieces run
// to hundreds). Prints, and saves as PNG or PDF.
class w_production : public Window
{
    Q_OBJECT
public:
    explicit w_production(QWidget *parent = nullptr);

    void open() override;

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

    // Writes both charts to one PNG or PDF (by the file's suffix); false on failure.
    bool saveTo(const QString &fileName);

protected:
    void create() override;

private:
    void load();
    void rebuild();
    QImage picture(const QSize &size);

    QLabel *st_date = nullptr;
    QChartView *m_piecesView = nullptr;
    QChartView *m_stonesView = nullptr;
    QChart *m_pieces = nullptr;
    QChart *m_stones = nullptr;
    CommandButton *cb_refresh = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_save = nullptr;
    CommandButton *cb_close = nullptr;
    QList<Row> m_rows;
};

} // namespace wip
