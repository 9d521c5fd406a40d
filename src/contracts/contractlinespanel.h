#pragma once

#include "contracts/contractcodes.h"
#include "contracts/contractline.h"
#include "database/rightscatalogue.h"

#include <QGroupBox>
#include <QList>
#include <QMap>

class QTableWidget;

namespace wip {

class CommandButton;
class DropDownListBox;
class StaticText;

// "订货明细资料": the lines of the contract a sales-contract form holds, as a
// list (dw_lines) above the fields of the line chosen in it. The clerk adds a
// line (增加明细, or Ins in the list), types its fields, and deletes one
// (删除明细, or Del in the list, after a question). Nothing is written here:
// the form saves the lines with its header (ContractSave).
//
// Keys: in the list, Up and Down choose a line, Enter goes to its first field,
// Ins adds one, Del deletes it; in the fields, Tab and Enter go to the next
// field, and Enter in the last goes back to the list. Choosing a metal puts its
// hallmark into 字印 while 字印 is blank or still holds the former metal's.
//
// What may be typed follows the rights: new lines with 增加, the fields of
// stored lines with 修改, deleting stored lines with 删除.
class ContractLinesPanel : public QGroupBox
{
    Q_OBJECT
public:
    explicit ContractLinesPanel(QWidget *parent);

    void setCodes(const ContractCodes &codes);
    void setRights(Rights rights);
    void setLines(const QList<ContractLine> &lines);
    // Every line: stored, new, changed, and deleted ones not yet saved.
    const QList<ContractLine> &lines() const { return m_lines; }
    bool isModified() const;
    // The line shown in the fields (its index in lines()), -1 when none.
    int currentIndex() const;
    // Makes the row of a line current (rows count the lines not deleted, from 1).
    void selectRow(int row);
    int rowCount() const;

    // --- handlers ---
    void dw_lines_rowchanged();
    void cb_line_add_clicked();
    void cb_line_del_clicked();
    void field_edited(const QString &column, const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void layOutControls();
    void connectEvents();
    void refreshList(int selectIndex);
    void refreshRow(int row);
    void showLine();
    void updateEnabled();
    QString fieldText(const QString &column) const;
    void setFieldText(const QString &column, const QString &text);
    QWidget *firstField() const;
    bool moveFromField(QObject *field);
    QString describe(const ContractLine &line) const;

    QList<ContractLine> m_lines;
    QList<int> m_rows;              // index into m_lines of each row of dw_lines
    ContractCodes m_codes;
    Rights m_rights;
    bool m_showing = false;         // fields being filled from the line, not typed

    QTableWidget *dw_lines = nullptr;
    QMap<QString, StaticText *> m_labels;     // column -> its caption
    QMap<QString, QWidget *> m_fields;        // column -> SingleLineEdit or DropDownListBox
    DropDownListBox *ddlb_article_code = nullptr;
    DropDownListBox *ddlb_metal = nullptr;
    CommandButton *cb_line_add = nullptr;
    CommandButton *cb_line_del = nullptr;
};

} // namespace wip
