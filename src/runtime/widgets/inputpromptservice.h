#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace wip {

// A question asked through askValue (recorded in scripted mode).
struct AskedValue
{
    QString title;
    QString label;
    QString typeName;
    QStringList choices;
    QString current;     // the text offered at first
};

// Asks the user for one value, e.g. a retrieval argument a window did not give.
// In the application a small dialog (an editable list when there are choices,
// with `current` in the box at first, empty when not given);
// in tests scripted: answers are queued beforehand (nullopt = Cancel) and every
// question is recorded; a question without a queued answer is cancelled.
// typeName is "string", "number", "date" or "datetime": the dialog accepts only
// a value of that type (a date as yyyy-mm-dd). The library that asks may not
// link Qt Widgets: it can take asker() as a plain function.
class InputPromptService
{
public:
    using Asker = std::function<std::optional<QString>(const QString &title, const QString &label,
                                                       const QString &typeName, const QStringList &choices)>;

    static std::optional<QString> askValue(const QString &title, const QString &label,
                                           const QString &typeName, const QStringList &choices = {},
                                           const QString &current = {});
    static Asker asker();

    // Whether text is a value of that type ("" is a string only).
    static bool isValidValue(const QString &text, const QString &typeName);

    static void setScripted(bool scripted);
    static bool isScripted();
    static void queueAnswer(const std::optional<QString> &answer);
    static QList<AskedValue> asked();
    static void clear();
};

} // namespace wip
