#pragma once

#include "reports/definition.h"

#include <QDialog>
#include <QStringList>
#include <optional>

class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;

namespace wip {
class EditMask;
}

namespace wip::reports {

// Asks for a retrieval argument that the window did not give: names the report,
// the argument and its type, offers a date field for dates (a date-time field for
// date-times) and an editable list of the values given before for anything else.
// OK is enabled only while the value is of the argument's type. A date that cannot
// be (2004-02-30) stays as typed: the field is marked and a line under it says
// why, and Enter does not answer with another day. Lists (stringlist, numberlist)
// are typed separated by commas.
class ArgumentDialog : public QDialog
{
    Q_OBJECT

public:
    ArgumentDialog(const Argument &argument, const Definition &definition, const QStringList &choices,
                   QWidget *parent = nullptr);

    QString value() const;           // dates as yyyy-mm-dd, date-times as yyyy-mm-dd hh:mm:ss
    // Why the date or date-time typed is none ("" when it is one, and for other types).
    QString problem() const;

    // The dialog's title and label for an argument (the scripted prompt records them).
    static QString title(const Definition &definition);
    static QString label(const Argument &argument);
    // The value type the input-prompt service checks: string, number, date, datetime.
    static QString typeName(ArgumentType type);
    // The retrieval value of an answer: QDate, QDateTime, double, QString, or a list
    // for list arguments; nullopt when the text is not of the argument's type.
    static std::optional<QVariant> toValue(const QString &text, ArgumentType type);

private:
    void updateOk();

    ArgumentType m_type;
    QComboBox *m_text = nullptr;
    EditMask *m_day = nullptr;          // a date argument
    QLineEdit *m_moment = nullptr;      // a date-time argument
    QLabel *m_problem = nullptr;        // why the date typed is none
    QDialogButtonBox *m_buttons = nullptr;
};

// Makes Retrieve ask the user for missing arguments through the input-prompt
// service: this dialog in the application, the scripted answers in tests.
// The application calls it once at start-up.
void installArgumentPrompter();

} // namespace wip::reports
