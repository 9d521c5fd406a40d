#include "runtime/widgets/inputpromptdialog.h"

#include "runtime/widgets/inputpromptservice.h"

#include <QComboBox>
#include <QDate>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace wip {

InputPromptDialog::InputPromptDialog(const QString &title, const QString &label, const QString &typeName,
                                     const QStringList &choices, QWidget *parent, const QString &current)
    : QDialog(parent)
    , m_typeName(typeName)
{
    setWindowTitle(title);
    auto *layout = new QVBoxLayout(this);
    auto *text = new QLabel(label, this);
    text->setWordWrap(true);
    layout->addWidget(text);

    m_value = new QComboBox(this);
    m_value->setEditable(true);
    m_value->setInsertPolicy(QComboBox::NoInsert);
    m_value->addItems(choices);
    m_value->setCurrentIndex(choices.indexOf(current));
    if (!current.isEmpty() && m_value->currentIndex() < 0)
        m_value->setEditText(current);
    if (typeName.compare(QLatin1String("date"), Qt::CaseInsensitive) == 0)
        m_value->lineEdit()->setPlaceholderText(QStringLiteral("yyyy-mm-dd"));
    m_value->setMinimumWidth(260);
    layout->addWidget(m_value);

    m_buttons = new QDialogButtonBox(this);
    m_buttons->addButton(QStringLiteral("确定"), QDialogButtonBox::AcceptRole);
    m_buttons->addButton(QStringLiteral("取消"), QDialogButtonBox::RejectRole);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_value, &QComboBox::editTextChanged, this, &InputPromptDialog::updateOk);
    updateOk();
}

QString InputPromptDialog::value() const
{
    return m_value->currentText();
}

void InputPromptDialog::updateOk()
{
    const auto buttons = m_buttons->buttons();
    for (QAbstractButton *b : buttons)
        if (m_buttons->buttonRole(b) == QDialogButtonBox::AcceptRole)
            b->setEnabled(InputPromptService::isValidValue(value(), m_typeName));
}

std::optional<QString> InputPromptDialog::ask(const QString &title, const QString &label,
                                              const QString &typeName, const QStringList &choices,
                                              const QString &current)
{
    InputPromptDialog dialog(title, label, typeName, choices, nullptr, current);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.value();
}

} // namespace wip
