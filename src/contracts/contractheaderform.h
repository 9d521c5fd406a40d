#pragma once

#include "database/rightscatalogue.h"
#include "runtime/widgets/window.h"

namespace wip {

class CommandButton;
class ContractLinesPanel;
class EditMask;
class SingleLineEdit;
class StaticText;

// A sales contract as a form: its header (table sconh: contract number,
// customer, customer order, order and delivery dates) above its lines (table
// scond, ContractLinesPanel). w_sconh_add makes a new contract, w_sconh_edit
// changes the one it is opened with (or the current contract of
// w_scno_process). "保存" checks the header and every line, writes them in one
// transaction with their audit rows (ContractSave), or nothing and a message
// naming each line and field that stopped it; saved, it tells the
// sales-contract window to read the contract again.
//
// The rights of the sales contracts (M05/H06, RightsCatalogue) decide what may
// be typed: 增加 a new contract and new lines, 修改 the header and the lines
// stored, 删除 deleting lines. Without any of them the form only shows.
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
    Rights rights() const { return m_rights; }
    ContractLinesPanel *linesPanel() const { return m_lines; }

    // Why the header cannot be saved, "" when it can.
    QString validate() const;

    // Lines typed and not saved are offered for saving before the form closes.
    bool closeQuery() override;

protected:
    void create() override;

private:
    void createControls();
    void layOutControls();
    bool readContract();
    void showReadOnly(const QString &why);
    bool save();
    void refreshContractList();

    Mode m_mode;
    QString m_scno;                // Edit: the contract being changed
    Rights m_rights;
    bool m_saved = false;
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
    StaticText *st_note = nullptr;
    ContractLinesPanel *m_lines = nullptr;
    CommandButton *cb_save = nullptr;
    CommandButton *cb_close = nullptr;
};

} // namespace wip
