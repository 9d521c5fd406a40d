#pragma once

#include "reference/refproblem.h"
#include "runtime/widgets/window.h"

#include <QList>

class QTabWidget;

namespace wip {
class CommandButton;
class Picture;
class StaticText;
}

namespace wip::reference {

class RefGrid;
class StoneGrid;
class RefKind;

// 基础资料 Reference data: one tab per kind of the factory's reference data
// (RefKind::all(): customers, metals, stones, setting methods, product types,
// styles, workers, process and stock codes), each a grid of its codes.
//
// 增加 adds a row to the tab shown, 删除 deletes the current one (a code in use
// is offered to be made inactive instead, as it can never be deleted), 保存
// saves the tab's changes through ReferenceWriter, all or nothing with the
// audit trail, and shows every refusal with its row and field, putting the
// cursor on the first. On the styles tab the stone lines of the current style
// are edited beside it, and 选择图片 chooses its picture from disk; the picture
// is copied into the picture folder when the style is saved.
//
// 导入 reads a CSV file or workbook into the tab's kind (ReferenceImportKind):
// the whole file is checked first, and either every problem is shown with its
// row and column, or what it would add and update is asked before anything is
// written; 导出 writes the tab's codes into a file under the same captions.
//
// Without the right "资料" (ReferenceRights) the window only shows; 导入 needs
// the right "导入" (ImportRights).
class w_refdata : public Window
{
    Q_OBJECT
public:
    explicit w_refdata(QWidget *parent = nullptr);
    ~w_refdata() override;

    void open() override;
    void cb_add_clicked();
    void cb_delete_clicked();
    void cb_save_clicked();
    void cb_close_clicked();
    void cb_picture_clicked();
    void cb_stone_add_clicked();
    void cb_stone_del_clicked();
    void cb_import_clicked();
    void cb_export_clicked();

    RefGrid *grid(const QString &kindName) const;
    RefGrid *currentGrid() const;

protected:
    void create() override;
    void closeEvent(QCloseEvent *event) override;

private:
    QWidget *stylesPage(RefGrid *styles);
    void load(RefGrid *grid);
    void refreshChoices();
    void styleChanged();
    void stonesEdited();
    void showPicture(int row);
    void showRefusal(RefGrid *grid, const QList<RefProblem> &problems, const QString &text);
    bool confirmLeaving();
    void kindChanged();
    void reloadAfterImport(RefGrid *grid);

    QTabWidget *tab_kinds = nullptr;
    QList<RefGrid *> m_grids;
    RefGrid *lv_styles = nullptr;
    StoneGrid *lv_stones = nullptr;
    StaticText *st_stones = nullptr;
    Picture *p_style = nullptr;
    StaticText *st_picture = nullptr;
    CommandButton *cb_picture = nullptr;
    CommandButton *cb_stone_add = nullptr;
    CommandButton *cb_stone_del = nullptr;
    StaticText *st_status = nullptr;
    CommandButton *cb_add = nullptr;
    CommandButton *cb_delete = nullptr;
    CommandButton *cb_save = nullptr;
    CommandButton *cb_close = nullptr;
    CommandButton *cb_import = nullptr;
    CommandButton *cb_export = nullptr;
    bool m_mayEdit = false;
    bool m_mayImport = false;
    bool m_closing = false;
};

} // namespace wip::reference
