#include "maintenance/dailybackup.h"

#include "maintenance/databasebackup.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace wip {

DailyBackup::DailyBackup(QString database, QString folder)
    : m_database(std::move(database)), m_folder(std::move(folder))
{
}

QString DailyBackup::fileName(const QDate &day)
{
    return QStringLiteral("wip-%1.sqlite").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

QDate DailyBackup::dayOf(const QString &fileName)
{
    static const QRegularExpression name(QStringLiteral("^wip-(\\d{4}-\\d{2}-\\d{2})\\.sqlite$"));
    const auto m = name.match(fileName);
    return m.hasMatch() ? QDate::fromString(m.captured(1), QStringLiteral("yyyy-MM-dd")) : QDate();
}

QStringList DailyBackup::backups() const
{
    QList<std::pair<QDate, QString>> found;
    const QDir dir(m_folder);
    for (const QString &name : dir.entryList({QStringLiteral("wip-*.sqlite")}, QDir::Files)) {
        const QDate day = dayOf(name);
        if (day.isValid())
            found.append({day, dir.filePath(name)});
    }
    std::sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList paths;
    for (const auto &[day, path] : found)
        paths << path;
    return paths;
}

DailyBackup::Outcome DailyBackup::run(const QDate &day) const
{
    Outcome o;
    o.file = QDir(m_folder).filePath(fileName(day));
    if (QFileInfo::exists(o.file)) {
        o.when = QFileInfo(o.file).lastModified();
    } else {
        if (!QDir().mkpath(m_folder)) {
            o.error = QStringLiteral("the folder %1 cannot be made").arg(QDir::toNativeSeparators(m_folder));
            return o;
        }
        ConnectionSettings settings;
        settings.dbms = QStringLiteral("SQLITE");
        settings.database = m_database;
        if (!DatabaseBackup::backup(settings, o.file, &o.error))
            return o;
        o.made = true;
        o.when = QDateTime::currentDateTime();
    }
    o.ok = true;
    const QStringList all = backups();
    for (qsizetype i = kept; i < all.size(); ++i) {
        if (all.at(i) != o.file && QFile::remove(all.at(i)))
            o.removed << all.at(i);
    }
    o.count = int(backups().size());
    return o;
}

} // namespace wip
