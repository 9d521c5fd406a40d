#include "runtime/widgets/inputpromptservice.h"

#include "runtime/values.h"
#include "runtime/widgets/inputpromptdialog.h"

#include <QDate>
#include <QDateTime>
#include <QQueue>

namespace wip {

namespace {

struct PromptState
{
    bool scripted = false;
    QQueue<std::optional<QString>> answers;
    QList<AskedValue> asked;
};

PromptState &promptState()
{
    static PromptState s;
    return s;
}

} // namespace

bool InputPromptService::isValidValue(const QString &text, const QString &typeName)
{
    const QString type = typeName.trimmed().toLower();
    const QString t = text.trimmed();
    if (type == QLatin1String("number") || type == QLatin1String("numberlist"))
        return values::parseNumber(t).has_value();
    if (type == QLatin1String("date"))
        return values::parseDateWithoutTime(t).has_value();
    if (type == QLatin1String("datetime"))
        return values::parseDateTime(t).has_value();
    return true;
}

std::optional<QString> InputPromptService::askValue(const QString &title, const QString &label,
                                                    const QString &typeName, const QStringList &choices,
                                                    const QString &current)
{
    PromptState &s = promptState();
    if (!s.scripted)
        return InputPromptDialog::ask(title, label, typeName, choices, current);
    s.asked.append(AskedValue{title, label, typeName, choices, current});
    if (s.answers.isEmpty())
        return std::nullopt;
    return s.answers.dequeue();
}

InputPromptService::Asker InputPromptService::asker()
{
    return [](const QString &title, const QString &label, const QString &typeName,
              const QStringList &choices) { return askValue(title, label, typeName, choices); };
}

void InputPromptService::setScripted(bool scripted)
{
    promptState().scripted = scripted;
}

bool InputPromptService::isScripted()
{
    return promptState().scripted;
}

void InputPromptService::queueAnswer(const std::optional<QString> &answer)
{
    promptState().answers.enqueue(answer);
}

QList<AskedValue> InputPromptService::asked()
{
    return promptState().asked;
}

void InputPromptService::clear()
{
    promptState().answers.clear();
    promptState().asked.clear();
}

} // namespace wip
