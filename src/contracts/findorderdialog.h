#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class DropDownListBox;
class SingleLineEdit;
class StaticText;

// "查找订单": finds a contract in the contract list dw_sconh of the latest open
// window of the target class, by contract number ("KCNO") or customer order
// number ("客单编号"), and scrolls that list to the first row found, which makes
// it the target's current contract. Two twins share this class:
// w_scno_process_search (w_scno_process; typed text upper case, criterion chosen
// from the list only, Left/Right arrows move between value and criterion) and
// w_scprogress_search (w_scprogress; text as typed, criterion editable).
// The value is searched for literally, quotes included.
class FindOrderDialog : public Window
{
    Q_OBJECT
public:
    enum class Variant { ScnoProcess, ScProgress };

    FindOrderDialog(Variant variant, QWidget *parent = nullptr);

    void open() override;

    void cb_cancel_clicked();
    void cb_confirm_clicked();
    void search_value_keydown(int key, int keyflags);
    void search_criterial_checkkey(int key, int keyflags);

    QString targetClass() const;
    // The Find expression for a criterion and value; "" for an unknown criterion.
    static QString searchExpression(const QString &criterion, const QString &value);

protected:
    void create() override;

private:
    Variant m_variant;
    CommandButton *cb_cancel = nullptr;
    CommandButton *cb_confirm = nullptr;
    SingleLineEdit *search_value = nullptr;
    StaticText *st_2 = nullptr;
    DropDownListBox *search_criterial = nullptr;
    StaticText *st_1 = nullptr;
};

} // namespace wip
