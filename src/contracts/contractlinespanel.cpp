#include "contracts/contractlinespanel.h"

#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QCompleter>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableWidget>
#include <QVBoxLayout>

namespace wip {

namespace {

using Kind = LineField::Kind;
using State = ContractLine::State;

QTableWidgetItem *cell(const QString &text, bool number)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setTextAlignment(Qt::AlignVCenter | (number ? Qt::AlignRight : Qt::AlignLeft));
    return item;
}

bool isEnter(QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    return (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && key->modifiers() == Qt::NoModifier;
}

// The line number as the list shows it: "新" for a line not saved yet, and a
// mark on a changed one.
QString numberText(const ContractLine &line)
{
    if (line.isNew())
        return QStringLiteral("新");
    return QString::number(line.lineNo) + (line.state == State::Changed ? QStringLiteral(" *") : QString());
}

} // namespace

ContractLinesPanel::ContractLinesPanel(QWidget *parent)
    : QGroupBox(QStringLiteral("订货明细资料"), parent)
{
    setObjectName(QStringLiteral("gb_lines"));
    createControls();
    layOutControls();
    connectEvents();
    updateEnabled();
}

void ContractLinesPanel::createControls()
{
    dw_lines = new QTableWidget(0, LineField::all().size() + 1, this);
    dw_lines->setObjectName(QStringLiteral("dw_lines"));
    QStringList captions{QStringLiteral("行号")};
    for (const LineField &f : LineField::all())
        captions << f.caption;
    dw_lines->setHorizontalHeaderLabels(captions);
    dw_lines->setSelectionBehavior(QAbstractItemView::SelectRows);
    dw_lines->setSelectionMode(QAbstractItemView::SingleSelection);
    dw_lines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dw_lines->setTabKeyNavigation(false);
    dw_lines->verticalHeader()->hide();
    // The columns as wide as their texts; the remarks take what is left.
    dw_lines->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    dw_lines->horizontalHeader()->setSectionResizeMode(LineField::all().size(), QHeaderView::Stretch);
    dw_lines->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    dw_lines->setMinimumHeight(150);
    dw_lines->installEventFilter(this);

    for (const LineField &f : LineField::all()) {
        m_labels.insert(f.column, new StaticText(this, QStringLiteral("st_") + f.column, f.caption));
        QWidget *field = nullptr;
        if (f.kind == Kind::Article || f.kind == Kind::Metal) {
            // Listed codes to choose from; a code typed is checked when saved.
            auto *list = new DropDownListBox(this, QStringLiteral("ddlb_") + f.column, true);
            list->setInsertPolicy(QComboBox::NoInsert);
            list->lineEdit()->setMaxLength(f.maxLength);
            list->lineEdit()->installEventFilter(this);
            list->completer()->setCaseSensitivity(Qt::CaseInsensitive);
            (f.kind == Kind::Article ? ddlb_article_code : ddlb_metal) = list;
            field = list;
        } else {
            auto *edit = new SingleLineEdit(this, QStringLiteral("sle_") + f.column);
            edit->setMaxLength(f.maxLength);
            if (f.kind != Kind::Text)
                edit->setAlignment(Qt::AlignRight);
            field = edit;
        }
        field->installEventFilter(this);
        m_labels.value(f.column)->setBuddy(field);
        m_fields.insert(f.column, field);
    }
    cb_line_add = new CommandButton(this, QStringLiteral("cb_line_add"), QStringLiteral("增加明细"));
    cb_line_del = new CommandButton(this, QStringLiteral("cb_line_del"), QStringLiteral("删除明细"));
}

void ContractLinesPanel::layOutControls()
{
    // The fields four pairs to a row, in the order of the list's columns.
    auto *grid = new QGridLayout;
    int place = 0;
    for (const LineField &f : LineField::all()) {
        const int row = place / 4;
        const int column = (place % 4) * 2;
        grid->addWidget(m_labels.value(f.column), row, column);
        if (f.column == QLatin1String("remarks")) {
            grid->addWidget(m_fields.value(f.column), row, column + 1, 1, 7 - column);
            break;
        }
        grid->addWidget(m_fields.value(f.column), row, column + 1);
        ++place;
    }
    for (int c = 1; c < 8; c += 2)
        grid->setColumnStretch(c, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cb_line_add);
    buttons->addWidget(cb_line_del);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(dw_lines, 1);
    layout->addLayout(grid);
    layout->addLayout(buttons);
}

void ContractLinesPanel::connectEvents()
{
    on(dw_lines, &QTableWidget::itemSelectionChanged, this, &ContractLinesPanel::dw_lines_rowchanged);
    on(cb_line_add, &CommandButton::clicked, this, &ContractLinesPanel::cb_line_add_clicked);
    on(cb_line_del, &CommandButton::clicked, this, &ContractLinesPanel::cb_line_del_clicked);
    for (auto it = m_fields.cbegin(); it != m_fields.cend(); ++it) {
        const QString column = it.key();
        const auto edited = [this, column](const QString &text) { field_edited(column, text); };
        if (auto *list = qobject_cast<DropDownListBox *>(it.value()))
            on(list, &QComboBox::editTextChanged, this, edited);
        else
            on(qobject_cast<SingleLineEdit *>(it.value()), &QLineEdit::textEdited, this, edited);
    }
}

void ContractLinesPanel::setCodes(const ContractCodes &codes)
{
    m_codes = codes;
    const bool showing = m_showing;
    m_showing = true;
    ddlb_article_code->Reset();
    for (const QString &code : codes.articles())
        ddlb_article_code->AddItem(code);
    ddlb_metal->Reset();
    for (const ContractCodes::Metal &m : codes.metals())
        ddlb_metal->AddItem(m.code);
    m_showing = showing;
    showLine();
}

void ContractLinesPanel::setRights(Rights rights)
{
    m_rights = rights;
    updateEnabled();
}

void ContractLinesPanel::setLines(const QList<ContractLine> &lines)
{
    m_lines = lines;
    refreshList(m_lines.isEmpty() ? -1 : 0);
}

bool ContractLinesPanel::isModified() const
{
    for (const ContractLine &line : m_lines) {
        if (line.state != State::Stored)
            return true;
    }
    return false;
}

int ContractLinesPanel::currentIndex() const
{
    const int row = dw_lines->currentRow();
    return row >= 0 && row < m_rows.size() && dw_lines->item(row, 0) && dw_lines->item(row, 0)->isSelected()
        ? m_rows.at(row)
        : -1;
}

int ContractLinesPanel::rowCount() const
{
    return m_rows.size();
}

void ContractLinesPanel::selectRow(int row)
{
    if (row >= 1 && row <= m_rows.size())
        dw_lines->selectRow(row - 1);
}

// The list again from the lines, the line at selectIndex chosen (-1: none).
void ContractLinesPanel::refreshList(int selectIndex)
{
    const QSignalBlocker block(dw_lines);
    m_rows.clear();
    for (int i = 0; i < m_lines.size(); ++i) {
        if (m_lines.at(i).state != State::Deleted)
            m_rows << i;
    }
    dw_lines->clearContents();
    dw_lines->setRowCount(m_rows.size());
    for (int row = 0; row < m_rows.size(); ++row)
        refreshRow(row);
    const int row = m_rows.indexOf(selectIndex);
    if (row >= 0)
        dw_lines->selectRow(row);
    else
        dw_lines->clearSelection();
    showLine();
}

void ContractLinesPanel::refreshRow(int row)
{
    const ContractLine &line = m_lines.at(m_rows.at(row));
    dw_lines->setItem(row, 0, cell(numberText(line), true));
    for (int c = 0; c < LineField::all().size(); ++c) {
        const LineField &f = LineField::all().at(c);
        dw_lines->setItem(row, c + 1, cell(line.text(f.column), f.kind != Kind::Text && f.kind != Kind::Article
                                                                     && f.kind != Kind::Metal));
    }
}

// The fields from the chosen line (blank without one).
void ContractLinesPanel::showLine()
{
    const int index = currentIndex();
    m_showing = true;
    for (const LineField &f : LineField::all())
        setFieldText(f.column, index >= 0 ? m_lines.at(index).text(f.column) : QString());
    m_showing = false;
    updateEnabled();
}

void ContractLinesPanel::updateEnabled()
{
    const int index = currentIndex();
    const bool isNew = index >= 0 && m_lines.at(index).isNew();
    const bool mayType = index >= 0 && (isNew ? bool(m_rights & Right::ContractAdd) : bool(m_rights & Right::ContractEdit));
    for (QWidget *field : std::as_const(m_fields)) {
        if (auto *edit = qobject_cast<SingleLineEdit *>(field))
            edit->setDisplayOnly(!mayType);
        else
            field->setEnabled(mayType);
    }
    cb_line_add->setEnabled(bool(m_rights & Right::ContractAdd));
    cb_line_del->setEnabled(index >= 0 && (isNew || (m_rights & Right::ContractDelete)));
}

QString ContractLinesPanel::fieldText(const QString &column) const
{
    QWidget *field = m_fields.value(column);
    if (auto *list = qobject_cast<DropDownListBox *>(field))
        return list->text();
    return qobject_cast<SingleLineEdit *>(field)->text();
}

void ContractLinesPanel::setFieldText(const QString &column, const QString &text)
{
    QWidget *field = m_fields.value(column);
    if (auto *list = qobject_cast<DropDownListBox *>(field))
        list->setText(text);
    else
        qobject_cast<SingleLineEdit *>(field)->setText(text);
}

void ContractLinesPanel::dw_lines_rowchanged()
{
    showLine();
}

void ContractLinesPanel::field_edited(const QString &column, const QString &text)
{
    const int index = currentIndex();
    if (m_showing || index < 0)
        return;
    ContractLine &line = m_lines[index];
    if (column == QLatin1String("metal")) {
        // The hallmark follows the metal while the clerk has not typed one of his own.
        const QString hallmark = line.text(QStringLiteral("hallmark")).trimmed();
        if (hallmark.isEmpty() || hallmark == m_codes.hallmarkOf(line.text(column))) {
            const QString fresh = m_codes.hallmarkOf(text);
            line.setText(QStringLiteral("hallmark"), fresh);
            m_showing = true;
            setFieldText(QStringLiteral("hallmark"), fresh);
            m_showing = false;
        }
    }
    line.setText(column, text);
    const QSignalBlocker block(dw_lines);
    refreshRow(m_rows.indexOf(index));
}

void ContractLinesPanel::cb_line_add_clicked()
{
    if (!(m_rights & Right::ContractAdd))
        return;
    ContractLine line;
    // A new line starts as the one before it, but for what makes it another
    // line: the clerk changes the metal or size of a design at once.
    for (int i = m_lines.size() - 1; i >= 0; --i) {
        if (m_lines.at(i).state != State::Deleted) {
            for (const char *column : {"design_no", "article_code", "metal", "hallmark", "unit_labprice"})
                line.texts.insert(QString::fromLatin1(column), m_lines.at(i).text(QString::fromLatin1(column)));
            break;
        }
    }
    m_lines.append(line);
    refreshList(m_lines.size() - 1);
    if (QWidget *first = firstField())
        first->setFocus(Qt::OtherFocusReason);
}

QString ContractLinesPanel::describe(const ContractLine &line) const
{
    QStringList parts;
    for (const char *column : {"design_no", "article_code", "metal", "size"}) {
        const QString text = line.text(QString::fromLatin1(column)).trimmed();
        if (!text.isEmpty())
            parts << text;
    }
    const QString pieces = line.text(QStringLiteral("quantity")).trimmed();
    if (!pieces.isEmpty())
        parts << QStringLiteral("%1 件").arg(pieces);
    return parts.join(QLatin1Char(' '));
}

void ContractLinesPanel::cb_line_del_clicked()
{
    const int index = currentIndex();
    if (index < 0)
        return;
    ContractLine &line = m_lines[index];
    if (!line.isNew() && !(m_rights & Right::ContractDelete))
        return;
    const QString what = line.isNew() ? QStringLiteral("新增的明细") : QStringLiteral("第 %1 行明细").arg(line.lineNo);
    const QString text = QStringLiteral("删除%1 (%2)?%3")
                             .arg(what, describe(line),
                                  line.isNew() ? QString() : QStringLiteral("\n按「保存」后才从合约中删除。"));
    if (MessageBox(QStringLiteral("确认"), text, MessageIcon::Question, MessageButtons::YesNo, 2) != 1)
        return;
    const int row = m_rows.indexOf(index);
    if (line.isNew())
        m_lines.removeAt(index);
    else
        line.state = State::Deleted;
    // The line below takes its place, or the one above at the end.
    refreshList(-1);
    if (!m_rows.isEmpty())
        dw_lines->selectRow(qMin(row, int(m_rows.size()) - 1));
    dw_lines->setFocus(Qt::OtherFocusReason);
}

QWidget *ContractLinesPanel::firstField() const
{
    for (const LineField &f : LineField::all()) {
        QWidget *field = m_fields.value(f.column);
        if (field->isEnabled() && !(qobject_cast<SingleLineEdit *>(field)
                                    && qobject_cast<SingleLineEdit *>(field)->displayOnly()))
            return field;
    }
    return nullptr;
}

// Enter in a field: on to the next field, from the last back to the list.
bool ContractLinesPanel::moveFromField(QObject *field)
{
    for (int i = 0; i < LineField::all().size(); ++i) {
        QWidget *w = m_fields.value(LineField::all().at(i).column);
        if (w != field && !(qobject_cast<DropDownListBox *>(w) && qobject_cast<DropDownListBox *>(w)->lineEdit() == field))
            continue;
        if (i + 1 < LineField::all().size())
            m_fields.value(LineField::all().at(i + 1).column)->setFocus(Qt::TabFocusReason);
        else
            dw_lines->setFocus(Qt::TabFocusReason);
        return true;
    }
    return false;
}

bool ContractLinesPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == dw_lines && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() != Qt::NoModifier && key->modifiers() != Qt::KeypadModifier)
            return false;
        if (key->key() == Qt::Key_Delete) {
            cb_line_del->TriggerEvent();
            return true;
        }
        if (key->key() == Qt::Key_Insert) {
            cb_line_add->TriggerEvent();
            return true;
        }
        if (isEnter(event) || key->key() == Qt::Key_Enter) {
            if (QWidget *first = firstField())
                first->setFocus(Qt::TabFocusReason);
            return true;
        }
        return false;
    }
    if (isEnter(event))
        return moveFromField(watched);
    return false;
}

} // namespace wip
