#include "app/databasechoice.h"

#include "app/serverprobe.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace wip {

namespace {

QLineEdit *field(QWidget *parent, const QString &name, int maxLength = 200)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setMaxLength(maxLength);
    return edit;
}

} // namespace

DatabaseChoice::DatabaseChoice(QWidget *parent)
    : QGroupBox(QStringLiteral("数据库 Database"), parent)
{
    setObjectName(QStringLiteral("gb_database"));
    m_embedded = new QRadioButton(QStringLiteral("内置数据库文件 &Embedded file"), this);
    m_embedded->setObjectName(QStringLiteral("rb_embedded"));
    m_file = field(this, QStringLiteral("sle_file"), 1000);
    m_browse = new QPushButton(QStringLiteral("…"), this);
    m_browse->setObjectName(QStringLiteral("cb_browse"));
    m_browse->setAutoDefault(false);
    m_browse->setMaximumWidth(m_browse->fontMetrics().horizontalAdvance(QStringLiteral("MMM")));
    m_browse->setToolTip(QStringLiteral("选择文件 Choose a file"));
    m_server = new QRadioButton(QStringLiteral("工厂服务器 &Factory server (PostgreSQL)"), this);
    m_server->setObjectName(QStringLiteral("rb_server"));
    m_host = field(this, QStringLiteral("sle_host"));
    m_host->setPlaceholderText(QStringLiteral("db.factory"));
    m_port = new QSpinBox(this);
    m_port->setObjectName(QStringLiteral("sp_port"));
    m_port->setRange(1, 65535);
    m_port->setValue(ServerProbe::defaultPort);
    m_name = field(this, QStringLiteral("sle_dbname"));
    m_user = field(this, QStringLiteral("sle_dbuser"));
    m_password = field(this, QStringLiteral("sle_dbpassword"));
    m_password->setEchoMode(QLineEdit::Password);
    m_save = new QCheckBox(QStringLiteral("在本机保存密码 &Keep the password on this computer"), this);
    m_save->setObjectName(QStringLiteral("cbx_savepassword"));

    auto *fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(m_browse);
    auto *hostRow = new QHBoxLayout;
    hostRow->addWidget(m_host, 1);
    hostRow->addWidget(m_port);
    auto *server = new QFormLayout;
    server->setContentsMargins(20, 0, 0, 0);
    server->addRow(QStringLiteral("主机 Host, port"), hostRow);
    server->addRow(QStringLiteral("数据库 Database"), m_name);
    server->addRow(QStringLiteral("用户 User"), m_user);
    server->addRow(QStringLiteral("密码 Password"), m_password);
    server->addRow(QString(), m_save);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_embedded);
    auto *indented = new QHBoxLayout;
    indented->setContentsMargins(20, 0, 0, 0);
    indented->addLayout(fileRow);
    layout->addLayout(indented);
    layout->addWidget(m_server);
    layout->addLayout(server);

    connect(m_embedded, &QRadioButton::toggled, this, &DatabaseChoice::updateEnabled);
    connect(m_browse, &QPushButton::clicked, this, &DatabaseChoice::chooseFile);
    m_embedded->setChecked(true);
    updateEnabled();
}

void DatabaseChoice::setEmbeddedFile(const QString &file)
{
    m_embeddedFile = file;
    if (m_file->text().isEmpty())
        m_file->setText(QDir::toNativeSeparators(file));
}

void DatabaseChoice::setChoice(const ConnectionSettings &settings, bool savePassword)
{
    if (settings.kind() == DbKind::PostgreSQL) {
        m_server->setChecked(true);
        QString host = settings.serverName;
        int port = ServerProbe::defaultPort;
        const int colon = host.lastIndexOf(QLatin1Char(':'));
        if (colon > 0) {
            port = host.mid(colon + 1).toInt();
            host = host.left(colon);
        }
        m_host->setText(host);
        m_port->setValue(port > 0 ? port : ServerProbe::defaultPort);
        m_name->setText(settings.database);
        m_user->setText(settings.logId);
        m_password->setText(settings.logPass);
        m_save->setChecked(savePassword);
    } else {
        m_embedded->setChecked(true);
        m_file->setText(QDir::toNativeSeparators(settings.database.isEmpty() ? m_embeddedFile : settings.database));
    }
    updateEnabled();
}

ConnectionSettings DatabaseChoice::choice() const
{
    ConnectionSettings s;
    if (m_embedded->isChecked()) {
        s.dbms = QStringLiteral("SQLITE");
        s.database = QDir::fromNativeSeparators(m_file->text().trimmed());
        return s;
    }
    s.dbms = QStringLiteral("POSTGRESQL");
    s.serverName = m_host->text().trimmed() + QLatin1Char(':') + QString::number(m_port->value());
    s.database = m_name->text().trimmed();
    s.logId = m_user->text().trimmed();
    s.logPass = m_password->text();
    return s;
}

bool DatabaseChoice::savePassword() const
{
    return m_server->isChecked() && m_save->isChecked();
}

bool DatabaseChoice::serverChosen() const
{
    return m_server->isChecked();
}

QString DatabaseChoice::problem() const
{
    if (m_embedded->isChecked())
        return m_file->text().trimmed().isEmpty() ? QStringLiteral("请输入数据库文件。 Enter the database file.")
                                                  : QString();
    if (m_host->text().trimmed().isEmpty())
        return QStringLiteral("请输入服务器主机。 Enter the server's host name.");
    if (m_name->text().trimmed().isEmpty())
        return QStringLiteral("请输入数据库名称。 Enter the name of the database.");
    return QString();
}

void DatabaseChoice::focusFirstEmptyField()
{
    if (m_embedded->isChecked()) {
        m_file->setFocus();
        return;
    }
    for (QLineEdit *edit : {m_host, m_name, m_user, m_password}) {
        if (edit->text().isEmpty()) {
            edit->setFocus();
            return;
        }
    }
    m_password->setFocus();
}

void DatabaseChoice::chooseFile()
{
    const QString file = QFileDialog::getOpenFileName(this, QStringLiteral("数据库文件 Database file"),
                                                      QDir::fromNativeSeparators(m_file->text()),
                                                      QStringLiteral("SQLite (*.sqlite *.db);;* (*)"));
    if (!file.isEmpty())
        m_file->setText(QDir::toNativeSeparators(file));
}

void DatabaseChoice::updateEnabled()
{
    const bool embedded = m_embedded->isChecked();
    m_file->setEnabled(embedded);
    m_browse->setEnabled(embedded);
    for (QWidget *w : std::initializer_list<QWidget *>{m_host, m_port, m_name, m_user, m_password, m_save})
        w->setEnabled(!embedded);
}

} // namespace wip
