#pragma once

#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class EditMask;
class SingleLineEdit;
class StaticText;

// A sales-contract header (table sconh) as a form: contract number, customer,
// customer order, order and delivery dates. w_sconh_add writes a new header,
// w_sconh_edit changes the one it is opened with (or the current contract of
// w_scno_process). "保存" checks the fields, writes in one transaction and tells
// the sales-contract window to read its list again.
class ContractHeaderForm : public Window
{
    Q_OBJECT
public:
    enum class Mode { Add, Edit };

    explicit ContractHeaderForm(Mode mode, QWidget *parent = nullptr);

    void open() override;
    void cb_save_clicked();
    void cb_close_clicked();

    Mode mode() const { return m_mode; }
    QString editedScno() const { return m_scno; }

    // Why the fields cannot be saved, "" when they can.
    QString validate() const;

protected:
    void create() override;

private:
    bool save();
    void refreshContractList();

    Mode m_mode;
    QString m_scno;                // Edit: the contract being changed
    StaticText *st_scno = nullptr;
    SingleLineEdit *sle_scno = nullptr;
    StaticText *st_custno = nullptr;
    SingleLineEdit *sle_custno = nullptr;
    StaticText *st_custorder = nullptr;
    SingleLineEdit *sle_custorder = nullptr;
    StaticText *st_issdate = nullptr;
    EditMask *em_issdate = nullptr;
    StaticText *st_deldate = nullptr;
    EditMask *em_deldate = nullptr;
    CommandButton *cb_save = nullptr;
    CommandButton *cb_close = nullptr;
};

} // namespace wip
