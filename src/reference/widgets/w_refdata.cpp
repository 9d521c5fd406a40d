#include "reference/widgets/w_refdata.h"

#include "import/importrights.h"
#include "import/widgets/kindfileactions.h"
#include "reference/referenceimport.h"
#include "reference/referencereader.h"
#include "reference/referencerights.h"
#include "reference/referencewriter.h"
#include "reference/refkind.h"
#include "reference/stylepicture.h"
#include "reference/widgets/refgrid.h"
#include "reference/widgets/stonegrid.h"
#include "reports/render/picturestore.h"
#include "runtime/appglobals.h"
#include "runtime/transaction.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/openfileservice.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/statictext.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QVBoxLayout>

namespace wip::reference {

namespace {

const QString kWindow = QStringLiteral("w_refdata");
const QString kStyles = QStringLiteral("styles");

QStringList codesOf(const RefGrid *grid)
{
    QStringList codes;
    if (!grid)
        return codes;
    // The codes saved and in use: an inactive code is given to no new row.
    for (const RefRow &row : grid->rows()) {
        if (row.saved() && row.original.value(QStringLiteral("active")) != QLatin1String("0"))
            codes << row.original.value(grid->kind().keyField);
    }
    codes.removeDuplicates();
    return codes;
}

} // namespace

w_refdata::w_refdata(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(kWindow);
    setTitle(QStringLiteral("基础资料 Reference data"));
    resize(1280, 620);   // eleven tabs, every one there to click
}

w_refdata::~w_refdata() = default;

void w_refdata::create()
{
    tab_kinds = new QTabWidget(this);
    tab_kinds->setObjectName(QStringLiteral("tab_kinds"));
    for (const RefKind &kind : RefKind::all()) {
        auto *grid = new RefGrid(nullptr, kind);
        m_grids.append(grid);
        if (kind.hasStones) {
            lv_styles = grid;
            tab_kinds->addTab(stylesPage(grid), kind.caption);
        } else {
            tab_kinds->addTab(grid, kind.caption);
        }
    }
    st_status = new StaticText(this, QStringLiteral("st_status"));
    st_status->setWordWrap(true);
    cb_add = new CommandButton(this, QStringLiteral("cb_add"), QStringLiteral("增加"));
    cb_delete = new CommandButton(this, QStringLiteral("cb_delete"), QStringLiteral("删除"));
    cb_save = new CommandButton(this, QStringLiteral("cb_save"), QStringLiteral("保存"));
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);
    cb_import = new CommandButton(this, QStringLiteral("cb_import"), QStringLiteral("导入 Import"));
    cb_export = new CommandButton(this, QStringLiteral("cb_export"), QStringLiteral("导出 Export"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(st_status, 1);
    buttons->addWidget(cb_import);
    buttons->addWidget(cb_export);
    buttons->addWidget(cb_add);
    buttons->addWidget(cb_delete);
    buttons->addWidget(cb_save);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tab_kinds, 1);
    layout->addLayout(buttons);

    on(cb_add, &CommandButton::clicked, this, &w_refdata::cb_add_clicked);
    on(cb_delete, &CommandButton::clicked, this, &w_refdata::cb_delete_clicked);
    on(cb_save, &CommandButton::clicked, this, &w_refdata::cb_save_clicked);
    on(cb_close, &CommandButton::clicked, this, &w_refdata::cb_close_clicked);
    on(cb_picture, &CommandButton::clicked, this, &w_refdata::cb_picture_clicked);
    on(cb_stone_add, &CommandButton::clicked, this, &w_refdata::cb_stone_add_clicked);
    on(cb_stone_del, &CommandButton::clicked, this, &w_refdata::cb_stone_del_clicked);
    on(cb_import, &CommandButton::clicked, this, &w_refdata::cb_import_clicked);
    on(cb_export, &CommandButton::clicked, this, &w_refdata::cb_export_clicked);
    on(tab_kinds, &QTabWidget::currentChanged, this, &w_refdata::kindChanged);
    on(lv_styles, &QTableWidget::currentCellChanged, this, &w_refdata::styleChanged);
    on(lv_stones, &StoneGrid::stonesEdited, this, &w_refdata::stonesEdited);
}

// The styles with, beside them, the stones of the style chosen and its picture.
QWidget *w_refdata::stylesPage(RefGrid *styles)
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("pg_styles"));
    st_stones = new StaticText(page, QStringLiteral("st_stones"), QStringLiteral("镶石 Stones per piece"));
    lv_stones = new StoneGrid(page);
    cb_stone_add = new CommandButton(page, QStringLiteral("cb_stone_add"), QStringLiteral("增加石料"));
    cb_stone_del = new CommandButton(page, QStringLiteral("cb_stone_del"), QStringLiteral("删除石料"));
    p_style = new Picture(page, QStringLiteral("p_style"));
    p_style->setMinimumSize(200, 150);
    st_picture = new StaticText(page, QStringLiteral("st_picture"));
    st_picture->setWordWrap(true);
    cb_picture = new CommandButton(page, QStringLiteral("cb_picture"), QStringLiteral("选择图片…"));

    auto *stoneButtons = new QHBoxLayout;
    stoneButtons->addWidget(cb_stone_add);
    stoneButtons->addWidget(cb_stone_del);
    stoneButtons->addStretch(1);
    auto *side = new QVBoxLayout;
    side->addWidget(st_stones);
    side->addWidget(lv_stones, 1);
    side->addLayout(stoneButtons);
    side->addWidget(p_style, 1);
    auto *pictureLine = new QHBoxLayout;
    pictureLine->addWidget(cb_picture);
    pictureLine->addWidget(st_picture, 1);
    side->addLayout(pictureLine);
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(styles, 3);
    layout->addLayout(side, 2);
    return page;
}

void w_refdata::open()
{
    m_mayEdit = ReferenceRights::mayEdit(user_code());
    for (RefGrid *g : std::as_const(m_grids))
        load(g);
    refreshChoices();
    for (RefGrid *g : std::as_const(m_grids)) {
        g->setEditable(m_mayEdit);
        if (g->rowCount() > 0)
            g->setCurrentCell(0, 0);
    }
    lv_stones->setEditable(m_mayEdit);
    for (CommandButton *b : {cb_add, cb_delete, cb_save, cb_picture, cb_stone_add, cb_stone_del})
        b->setEnabled(m_mayEdit);
    st_status->setText(m_mayEdit ? QStringLiteral("改好后按 保存; 在使用中的代码不能删除, 只能停用 (取消 使用中)。")
                                 : ReferenceRights::refusal(user_code()) + QStringLiteral(" 只能查看。"));
    m_mayImport = import::ImportRights::mayImport(user_code());
    kindChanged();
    styleChanged();
}

// 导入 and 导出 for the kinds that take new codes; 导入 with the right 导入.
void w_refdata::kindChanged()
{
    const RefGrid *g = currentGrid();
    const bool files = g && g->kind().canAdd;
    cb_import->setEnabled(files && m_mayImport);
    cb_export->setEnabled(files);
}

RefGrid *w_refdata::grid(const QString &kindName) const
{
    for (RefGrid *g : m_grids) {
        if (g->kind().name == kindName)
            return g;
    }
    return nullptr;
}

RefGrid *w_refdata::currentGrid() const
{
    return m_grids.value(tab_kinds->currentIndex());
}

void w_refdata::load(RefGrid *g)
{
    ReferenceReader reader(Transaction::sqlca());
    const std::optional<QList<RefRow>> rows = reader.load(g->kind());
    if (!rows)
        throw HostError(ErrGeneric, reader.error());
    g->setRows(*rows);
}

// The lists the cells of codes of other kinds choose from: the codes saved.
void w_refdata::refreshChoices()
{
    for (RefGrid *g : std::as_const(m_grids)) {
        for (const RefKind::Field &f : g->kind().fields) {
            if (f.type == RefKind::FieldType::Reference)
                g->setChoices(f.name, codesOf(grid(f.refKind)));
        }
    }
    for (const RefKind::Field &f : RefKind::stoneFields()) {
        if (f.type == RefKind::FieldType::Reference)
            lv_stones->setChoices(f.name, codesOf(grid(f.refKind)));
    }
}

void w_refdata::cb_add_clicked()
{
    RefGrid *g = currentGrid();
    if (!g->kind().canAdd) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("工序与仓位代码是报表使用的键, 不能增加, 只能改名称。"));
        return;
    }
    const int row = g->appendRow();
    g->setFocus();
    g->editItem(g->item(row, 0));
}

void w_refdata::cb_delete_clicked()
{
    RefGrid *g = currentGrid();
    const int r = g->currentRow();
    if (r < 0)
        return;
    const RefKind &kind = g->kind();
    if (!kind.canAdd) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("工序与仓位代码是报表使用的键, 不能删除。"));
        return;
    }
    const RefRow &row = g->rowAt(r);
    if (!row.saved() || row.change == RefRow::Change::Deleted) {
        g->deleteRow(r);
        return;
    }
    const QString code = row.original.value(kind.keyField);
    ReferenceReader reader(Transaction::sqlca());
    const std::optional<QStringList> places = reader.whereUsed(kind, code);
    if (!places)
        throw HostError(ErrGeneric, reader.error());
    if (!places->isEmpty()) {
        const QString text = QStringLiteral("%1 在使用中 (%2), 不能删除。\n改为停用吗?")
                                 .arg(code, places->join(QStringLiteral(", ")));
        if (MessageBox(QStringLiteral("确认"), text, MessageIcon::Question, MessageButtons::YesNo) == 1)
            g->setValue(r, QStringLiteral("active"), QStringLiteral("0"));
        return;
    }
    if (MessageBox(QStringLiteral("确认"), QStringLiteral("删除 %1 吗? 按 保存 后删除。").arg(code),
                   MessageIcon::Question, MessageButtons::YesNo)
        == 1)
        g->deleteRow(r);
}

void w_refdata::cb_save_clicked()
{
    RefGrid *g = currentGrid();
    if (!g->isModified()) {
        st_status->setText(QStringLiteral("%1: 没有要保存的修改。").arg(g->kind().caption));
        return;
    }
    Transaction &sqlca = Transaction::sqlca();
    ReferenceWriter writer(sqlca, g->kind(), {user_code(), kWindow});
    const SaveOutcome outcome = writer.save(g->rows());
    if (outcome.refused()) {
        showRefusal(g, outcome.problems, outcome.problemText());
        return;
    }
    if (!outcome.saved) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!\n") + outcome.error, MessageIcon::Exclamation);
        return;
    }
    // Work SQLCA held before holds the save too: saved only when that COMMIT is.
    if (sqlca.inTransaction() && !sqlca.commit()) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("保存数据未成功!\n") + sqlca.sqlErrText,
                   MessageIcon::Exclamation);
        return;
    }
    reports::PictureStore::clear();
    load(g);
    refreshChoices();
    styleChanged();
    st_status->setText(QStringLiteral("%1 已保存: 增加 %2, 修改 %3, 删除 %4。")
                           .arg(g->kind().caption)
                           .arg(outcome.added)
                           .arg(outcome.edited)
                           .arg(outcome.deleted));
    MessageBox(QStringLiteral("恭喜"), QStringLiteral("保存数据成功!"));
}

// Every problem in one message, and the cursor on the first.
void w_refdata::showRefusal(RefGrid *g, const QList<RefProblem> &problems, const QString &text)
{
    st_status->setText(QStringLiteral("没有保存: %1 处要改正。").arg(problems.size()));
    MessageBox(QStringLiteral("警告"), QStringLiteral("没有保存, 请改正:\n") + text, MessageIcon::Exclamation);
    const RefProblem &first = problems.first();
    g->showProblem(first);
    if (g == lv_styles && first.stone > 0) {
        styleChanged();
        lv_stones->setCurrentCell(first.stone - 1, 0);
    }
}

void w_refdata::cb_import_clicked()
{
    RefGrid *g = currentGrid();
    if (g->isModified()) {
        MessageBox(QStringLiteral("信息"),
                   QStringLiteral("%1 有未保存的修改, 请先 保存 再导入。").arg(g->kind().caption));
        return;
    }
    ReferenceImportKind importKind(g->kind());
    const import::KindFileActions::Done done =
        import::KindFileActions::importFile(this, importKind, kWindow, QStringLiteral("代码"));
    if (done.written)
        reloadAfterImport(g);
    if (!done.status.isEmpty())
        st_status->setText(done.status);
}

void w_refdata::reloadAfterImport(RefGrid *g)
{
    reports::PictureStore::clear();
    load(g);
    refreshChoices();
    g->setEditable(m_mayEdit);
    if (g->rowCount() > 0)
        g->setCurrentCell(0, 0);
    styleChanged();
}

void w_refdata::cb_export_clicked()
{
    ReferenceImportKind exportKind(currentGrid()->kind());
    const QString saved = currentGrid()->isModified() ? QStringLiteral(" (已保存的资料, 不含未保存的修改)") : QString();
    const import::KindFileActions::Done done = import::KindFileActions::exportFile(this, exportKind, saved);
    if (!done.status.isEmpty())
        st_status->setText(done.status);
}

void w_refdata::cb_close_clicked()
{
    Close();
}

void w_refdata::closeEvent(QCloseEvent *event)
{
    if (!confirmLeaving()) {
        event->ignore();
        return;
    }
    Window::closeEvent(event);
}

bool w_refdata::confirmLeaving()
{
    QStringList modified;
    for (RefGrid *g : std::as_const(m_grids)) {
        if (g->isModified())
            modified << g->kind().caption;
    }
    if (modified.isEmpty())
        return true;
    return MessageBox(QStringLiteral("确认"),
                      QStringLiteral("%1 有未保存的修改。\n放弃这些修改吗?").arg(modified.join(QStringLiteral(", "))),
                      MessageIcon::Question, MessageButtons::YesNo, 2)
        == 1;
}

void w_refdata::cb_picture_clicked()
{
    const int r = lv_styles->currentRow();
    if (r < 0) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("请先选择款式。"));
        return;
    }
    const QString path = OpenFileService::ask(this, QStringLiteral("选择款式图片 Choose the style's picture"),
                                              QDir::homePath(),
                                              QStringLiteral("图片 Pictures (*.bmp *.png *.jpg *.jpeg *.gif);;"
                                                             "所有文件 All files (*)"));
    if (path.isEmpty())
        return;
    lv_styles->setValue(r, QStringLiteral("picture"), path);
    showPicture(r);
}

void w_refdata::cb_stone_add_clicked()
{
    if (lv_styles->currentRow() < 0) {
        MessageBox(QStringLiteral("信息"), QStringLiteral("请先选择款式。"));
        return;
    }
    lv_stones->setFocus();
    lv_stones->editItem(lv_stones->item(lv_stones->appendStone(), 0));
}

void w_refdata::cb_stone_del_clicked()
{
    lv_stones->removeStone(lv_stones->currentRow());
}

// The stones and the picture of the style now current.
void w_refdata::styleChanged()
{
    const int r = lv_styles->currentRow();
    const bool chosen = r >= 0 && r < lv_styles->rowCount();
    lv_stones->setStones(chosen ? lv_styles->rowAt(r).stones : QList<RefValues>());
    lv_stones->setEditable(m_mayEdit && chosen && lv_styles->rowAt(r).change != RefRow::Change::Deleted);
    st_stones->setText(chosen ? QStringLiteral("镶石 Stones per piece: %1").arg(lv_styles->item(r, 0)->text())
                              : QStringLiteral("镶石 Stones per piece"));
    showPicture(r);
}

void w_refdata::stonesEdited()
{
    const int r = lv_styles->currentRow();
    if (r >= 0)
        lv_styles->setStones(r, lv_stones->stones());
}

// The picture chosen for the style, else the one the picture folder holds,
// and which it is.
void w_refdata::showPicture(int row)
{
    QString path;
    QString caption;
    if (row >= 0 && row < lv_styles->rowCount()) {
        const RefRow &style = lv_styles->rowAt(row);
        const QString chosen = style.value(QStringLiteral("picture"));
        const QString name = style.value(QStringLiteral("pic_name"));
        if (!chosen.isEmpty()) {
            path = chosen;
            const QString copy = StylePicture::targetName(style.value(QStringLiteral("article_code")), chosen)
                                     .value_or(QString());
            caption = QStringLiteral("新图片 %1, 保存时复制为 %2").arg(QFileInfo(chosen).fileName(), copy);
        } else if (!name.isEmpty()) {
            path = reports::PictureStore::path(name).value_or(QString());
            caption = path.isEmpty() ? QStringLiteral("图片 %1 (图片文件夹里没有)").arg(name)
                                     : QStringLiteral("图片 %1").arg(name);
        } else {
            caption = QStringLiteral("没有图片");
        }
    }
    st_picture->setText(caption);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly) || p_style->SetPicture(file.readAll()) != 1) {
        p_style->SetPicture(QByteArray());
        return;
    }
    p_style->setVisible(true);
}

} // namespace wip::reference
