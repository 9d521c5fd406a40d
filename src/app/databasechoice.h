#pragma once

#include "runtime/transaction.h"

#include <QGroupBox>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace wip {

// The database part of the login: the embedded file (the demo factory of this
// computer, or another Wip database file) or the factory's PostgreSQL server
// with its host, port, database, user and password, and whether the password
// may be kept on this computer.
class DatabaseChoice : public QGroupBox
{
    Q_OBJECT

public:
    explicit DatabaseChoice(QWidget *parent = nullptr);

    void setEmbeddedFile(const QString &file);        // what "embedded" means when nothing else is named
    void setChoice(const ConnectionSettings &settings, bool savePassword);
    ConnectionSettings choice() const;
    bool savePassword() const;
    bool serverChosen() const;
    // Why the choice cannot be tried as it stands (no host, no database name, no
    // file); empty when it can.
    QString problem() const;
    void focusFirstEmptyField();

private:
    void chooseFile();
    void updateEnabled();

    QString m_embeddedFile;
    QRadioButton *m_embedded = nullptr;
    QLineEdit *m_file = nullptr;
    QPushButton *m_browse = nullptr;
    QRadioButton *m_server = nullptr;
    QLineEdit *m_host = nullptr;
    QSpinBox *m_port = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_user = nullptr;
    QLineEdit *m_password = nullptr;
    QCheckBox *m_save = nullptr;
};

} // namespace wip
