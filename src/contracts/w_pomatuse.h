#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class StaticText;
namespace reports {
class ReportControl;
}

// "物料耗用": the materials a contract used, by process step (d_w_pomatuse over
// matuse, material and proch), for the contract number it is opened with.
class w_pomatuse : public Window
{
    Q_OBJECT
public:
    explicit w_pomatuse(QWidget *parent = nullptr);

    void open() override;
    void cb_print_clicked();
    void cb_close_clicked();

    QString scno() const { return m_scno; }

protected:
    void create() override;

private:
    StaticText *st_scno = nullptr;
    reports::ReportControl *dw_pomatuse = nullptr;
    CommandButton *cb_print = nullptr;
    CommandButton *cb_close = nullptr;
    QString m_scno;
};

} // namespace wip
