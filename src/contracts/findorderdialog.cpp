#include "contracts/findorderdialog.h"

#include "reports/expression.h"
#include "reports/widgets/reportcontrol.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"
#include "runtime/widgets/dropdownlistbox.h"
#include "runtime/widgets/keyboard.h"
#include "runtime/widgets/messageboxservice.h"
#include "runtime/widgets/singlelineedit.h"
#include "runtime/widgets/statictext.h"

#include <QGridLayout>

namespace wip {

FindOrderDialog::FindOrderDialog(Variant variant, QWidget *parent)
    : Window(parent)
    , m_variant(variant)
{
    setTitle(QStringLiteral("查找订单"));
}

QString FindOrderDialog::targetClass() const
{
    return m_variant == Variant::ScnoProcess ? QStringLiteral("w_scno_process") : QStringLiteral("w_scprogress");
}

void FindOrderDialog::create()
{
    cb_cancel = new CommandButton(this, QStringLiteral("cb_cancel"), QStringLiteral("取消"));
    cb_cancel->setCancel(true);
    cb_confirm = new CommandButton(this, QStringLiteral("cb_confirm"), QStringLiteral("确定"));
    search_value = new SingleLineEdit(this, QStringLiteral("search_value"));
    if (m_variant == Variant::ScnoProcess)
        search_value->setTextCase(SingleLineEdit::TextCase::Upper);
    st_2 = new StaticText(this, QStringLiteral("st_2"), QStringLiteral("="));
    search_criterial = new DropDownListBox(this, QStringLiteral("search_criterial"),
                                           m_variant == Variant::ScProgress);
    search_criterial->AddItem(QStringLiteral("KCNO"));
    search_criterial->AddItem(QStringLiteral("客单编号"));
    search_criterial->setText(QStringLiteral("KCNO"));
    st_1 = new StaticText(this, QStringLiteral("st_1"), QStringLiteral("查找"));

    auto *layout = new QGridLayout(this);
    layout->addWidget(st_1, 0, 0);
    layout->addWidget(search_criterial, 0, 1);
    layout->addWidget(st_2, 0, 2);
    layout->addWidget(search_value, 0, 3);
    layout->addWidget(cb_confirm, 1, 1);
    layout->addWidget(cb_cancel, 1, 3);

    on(cb_cancel, &CommandButton::clicked, this, &FindOrderDialog::cb_cancel_clicked);
    on(cb_confirm, &CommandButton::clicked, this, &FindOrderDialog::cb_confirm_clicked);
    on(search_value, &SingleLineEdit::key, this, &FindOrderDialog::search_value_keydown);
    if (m_variant == Variant::ScnoProcess)
        on(search_criterial, &DropDownListBox::key, this, &FindOrderDialog::search_criterial_checkkey);
}

void FindOrderDialog::open()
{
    search_value->SetFocus();
}

void FindOrderDialog::cb_cancel_clicked()
{
    Close();
}

QString FindOrderDialog::searchExpression(const QString &criterion, const QString &value)
{
    // The value is quoted for the expression, so that a quote in it is searched
    // for rather than ending the text early.
    if (criterion == QLatin1String("KCNO"))
        return QStringLiteral("scno=") + reports::quoteString(value);
    if (criterion == QStringLiteral("客单编号"))
        return QStringLiteral("cust_order=") + reports::quoteString(value);
    return QString();
}

void FindOrderDialog::cb_confirm_clicked()
{
    const QString expression = searchExpression(search_criterial->text(), search_value->text());
    if (expression.isEmpty())
        return;
    auto &dw_sconh = Window::latest(targetClass()).control<reports::ReportControl>(QStringLiteral("dw_sconh"));
    const int findrow = dw_sconh.Find(expression, 1, dw_sconh.RowCount());
    if (findrow > 0) {
        dw_sconh.ScrollToRow(findrow);
        Close();
    } else {
        MessageBox(QString(), QStringLiteral("找不到记录!"));
    }
}

void FindOrderDialog::search_value_keydown(int key, int keyflags)
{
    if (KeyDown(HostKey::Enter)) {
        Keyboard::consumeKey();
        cb_confirm->TriggerEvent(ControlEvent::Clicked);
    }
    if (m_variant == Variant::ScnoProcess && KeyDown(HostKey::LeftArrow)) {
        Keyboard::consumeKey();
        search_criterial->SetFocus();
    }
}

void FindOrderDialog::search_criterial_checkkey(int key, int keyflags)
{
    if (KeyDown(HostKey::RightArrow)) {
        Keyboard::consumeKey();
        search_value->SetFocus();
    }
}

} // namespace wip
