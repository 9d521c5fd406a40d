#pragma once

#include <QDialog>

#include <optional>

class QComboBox;
class QDialogButtonBox;

namespace wip {

// The small dialog of InputPromptService: a label and one value (an editable
// list when there are choices, holding `current` at first). OK is enabled only
// while the value is of the asked type.
class InputPromptDialog : public QDialog
{
    Q_OBJECT
public:
    InputPromptDialog(const QString &title, const QString &label, const QString &typeName,
                      const QStringList &choices, QWidget *parent = nullptr, const QString &current = {});

    QString value() const;

    static std::optional<QString> ask(const QString &title, const QString &label,
                                      const QString &typeName, const QStringList &choices,
                                      const QString &current = {});

private:
    void updateOk();

    QString m_typeName;
    QComboBox *m_value = nullptr;
    QDialogButtonBox *m_buttons = nullptr;
};

} // namespace wip
