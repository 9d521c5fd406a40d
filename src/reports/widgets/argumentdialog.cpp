#include "reports/widgets/argumentdialog.h"

#include "reports/datastore.h"
#include "runtime/values.h"
#include "runtime/widgets/editmask.h"
#include "runtime/widgets/inputpromptservice.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace wip::reports {

namespace {

bool isList(ArgumentType type)
{
    return type == ArgumentType::StringList || type == ArgumentType::NumberList;
}

QString typeText(ArgumentType type)
{
    switch (type) {
    case ArgumentType::String:
        return QStringLiteral("string");
    case ArgumentType::Number:
        return QStringLiteral("number");
    case ArgumentType::Date:
        return QStringLiteral("date");
    case ArgumentType::DateTime:
        return QStringLiteral("datetime");
    case ArgumentType::StringList:
        return QStringLiteral("stringlist");
    case ArgumentType::NumberList:
        return QStringLiteral("numberlist");
    }
    return QStringLiteral("string");
}

// Values given before, per argument name, newest first: the choices of the next prompt.
QHash<QString, QStringList> &history()
{
    static QHash<QString, QStringList> h;
    return h;
}

void remember(const QString &argument, const QString &text)
{
    QStringList &list = history()[argument.toLower()];
    list.removeAll(text);
    list.prepend(text);
    while (list.size() > 10)
        list.removeLast();
}

} // namespace

ArgumentDialog::ArgumentDialog(const Argument &argument, const Definition &definition, const QStringList &choices,
                               QWidget *parent)
    : QDialog(parent)
    , m_type(argument.type)
{
    setObjectName(QStringLiteral("argumentdialog"));
    setWindowTitle(title(definition));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(label(argument), this));
    if (argument.type == ArgumentType::Date) {
        // The windows' date field: typed over in place, a day that cannot be refused where it is seen.
        m_day = new EditMask(this, QStringLiteral("em_argument"));
        if (!choices.isEmpty())
            m_day->setText(choices.first());
        layout->addWidget(m_day);
        connect(m_day, &QLineEdit::textChanged, this, &ArgumentDialog::updateOk);
    } else if (argument.type == ArgumentType::DateTime) {
        m_moment = new QLineEdit(this);
        m_moment->setObjectName(QStringLiteral("em_argument"));
        m_moment->setInputMask(QStringLiteral("9999-99-99 99:99:99;_"));
        const auto last = choices.isEmpty() ? std::nullopt : values::parseDateTime(choices.first());
        m_moment->setText(values::dateTimeText(last ? *last : QDateTime(QDate::currentDate(), QTime(0, 0))));
        layout->addWidget(m_moment);
        connect(m_moment, &QLineEdit::textChanged, this, &ArgumentDialog::updateOk);
    } else {
        m_text = new QComboBox(this);
        m_text->setEditable(true);
        m_text->addItems(choices);
        m_text->setCurrentIndex(choices.isEmpty() ? -1 : 0);
        m_text->setMinimumWidth(240);
        layout->addWidget(m_text);
        connect(m_text, &QComboBox::editTextChanged, this, &ArgumentDialog::updateOk);
    }
    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("st_problem"));
    m_problem->setStyleSheet(QStringLiteral("color: #c00000;"));
    m_problem->setWordWrap(true);
    QWidget *field = m_day;
    if (m_moment)
        field = m_moment;
    else if (m_text)
        field = m_text;
    layout->insertWidget(layout->indexOf(field) + 1, m_problem);
    layout->addWidget(m_buttons);
    connect(m_buttons, &QDialogButtonBox::accepted, this, [this] {
        // Enter on a date that cannot be marks the field (the date field does
        // that itself) and answers nothing.
        if (m_day && m_day->refuse())
            return;
        if (toValue(value(), m_type))
            accept();
    });
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateOk();
}

QString ArgumentDialog::value() const
{
    if (m_day)
        return m_day->text();
    if (m_moment)
        return m_moment->displayText();
    return m_text ? m_text->currentText().trimmed() : QString();
}

QString ArgumentDialog::problem() const
{
    if (m_day)
        return m_day->problem();
    if (!m_moment)
        return QString();
    const QString shown = m_moment->displayText();
    const QString day = EditMask::problemOf(QStringLiteral("yyyy-mm-dd"), shown.left(10));
    if (!day.isEmpty())
        return day;
    if (!values::parseTime(shown.mid(11)))
        return QStringLiteral("%1 不是有效时间: 请按 hh:mm:ss 输入, 00:00:00 至 23:59:59").arg(shown.mid(11));
    return QString();
}

void ArgumentDialog::updateOk()
{
    m_buttons->button(QDialogButtonBox::Ok)->setEnabled(toValue(value(), m_type).has_value());
    const QString why = problem();
    m_problem->setText(why);
    m_problem->setVisible(!why.isEmpty());
    if (m_moment)
        m_moment->setStyleSheet(why.isEmpty() ? QString()
                                              : QStringLiteral("QLineEdit { background: #ffe0e0; border: 1px solid #c00000; }"));
}

QString ArgumentDialog::title(const Definition &definition)
{
    return QStringLiteral("检索参数 - %1").arg(definition.name);
}

QString ArgumentDialog::label(const Argument &argument)
{
    QString text = QStringLiteral("请输入 %1 (%2)").arg(argument.name, typeText(argument.type));
    if (isList(argument.type))
        text += QStringLiteral(", 以逗号分隔 separated by commas");
    return text + QLatin1Char(':');
}

QString ArgumentDialog::typeName(ArgumentType type)
{
    switch (type) {
    case ArgumentType::Number:
        return QStringLiteral("number");
    case ArgumentType::Date:
        return QStringLiteral("date");
    case ArgumentType::DateTime:
        return QStringLiteral("datetime");
    case ArgumentType::String:
    case ArgumentType::StringList:
    case ArgumentType::NumberList:
        break;
    }
    return QStringLiteral("string");
}

std::optional<QVariant> ArgumentDialog::toValue(const QString &text, ArgumentType type)
{
    const QString t = text.trimmed();
    switch (type) {
    case ArgumentType::String:
        return QVariant(text);
    case ArgumentType::Number: {
        const auto d = values::parseNumber(t);
        return d ? std::optional<QVariant>(d->toVariant()) : std::nullopt;
    }
    case ArgumentType::Date: {
        const auto d = values::parseDateWithoutTime(t);
        return d ? std::optional<QVariant>(*d) : std::nullopt;
    }
    case ArgumentType::DateTime: {
        const auto dt = values::parseDateTime(t);
        return dt ? std::optional<QVariant>(*dt) : std::nullopt;
    }
    case ArgumentType::StringList: {
        QStringList values;
        for (const QString &part : t.split(QLatin1Char(','), Qt::SkipEmptyParts))
            values << part.trimmed();
        return QVariant(values);
    }
    case ArgumentType::NumberList: {
        QVariantList values;
        for (const QString &part : t.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const double d = part.trimmed().toDouble(&ok);
            if (!ok)
                return std::nullopt;
            values << d;
        }
        return QVariant(values);
    }
    }
    return std::nullopt;
}

void installArgumentPrompter()
{
    setArgumentPrompter([](const Argument &argument, const Definition &definition) -> std::optional<QVariant> {
        // The definition's own choices first, then the values given before.
        QStringList choices = argument.choices;
        for (const QString &given : history().value(argument.name.toLower()))
            if (!choices.contains(given))
                choices.append(given);
        std::optional<QString> answer;
        if (InputPromptService::isScripted()) {
            answer = InputPromptService::askValue(ArgumentDialog::title(definition), ArgumentDialog::label(argument),
                                                  ArgumentDialog::typeName(argument.type), choices);
        } else {
            ArgumentDialog dialog(argument, definition, choices);
            if (dialog.exec() == QDialog::Accepted)
                answer = dialog.value();
        }
        if (!answer)
            return std::nullopt;
        // A choice stands for its value ("1-无石Stone delay" for "1").
        const qsizetype chosen = argument.choices.indexOf(answer->trimmed());
        if (chosen >= 0 && chosen < argument.choiceValues.size()) {
            remember(argument.name, argument.choices.at(chosen));
            return ArgumentDialog::toValue(argument.choiceValues.at(chosen), argument.type);
        }
        std::optional<QVariant> value = ArgumentDialog::toValue(*answer, argument.type);
        if (value)
            remember(argument.name, answer->trimmed());
        return value;
    });
}

} // namespace wip::reports
