#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace wip {

// The daily backup of the embedded database: one file a day in the backups
// folder of the data folder, "wip-2024-03-01.sqlite", made with the online
// backup while the clerks work (DatabaseBackup); the newest `kept` of them
// stay and older ones are removed. Only files of that name are ever removed;
// anything else in the folder is left alone. Works on connections of its own,
// so it runs in a thread of its own.
//
//   DailyBackup daily(database, dataFolder + "/backups");
//   const DailyBackup::Outcome o = daily.run(QDate::currentDate());
class DailyBackup
{
public:
    static constexpr int kept = 14;

    DailyBackup(QString database, QString folder);

    struct Outcome
    {
        bool ok = false;
        bool made = false;          // made now (false: the day's backup was there already)
        QString file;               // the day's backup
        QDateTime when;             // when it was made
        QStringList removed;        // older backups removed now
        int count = 0;              // backups in the folder now
        QString error;              // why the day's backup could not be made
    };
    // Makes the backup of day unless the folder has it, then removes what is
    // beyond the newest `kept` (never the day's own).
    Outcome run(const QDate &day) const;

    static QString fileName(const QDate &day);
    // The day a backup's file name gives; invalid for any other name.
    static QDate dayOf(const QString &fileName);
    // The backups in the folder, their full paths, newest first.
    QStringList backups() const;

    QString folder() const { return m_folder; }

private:
    QString m_database;
    QString m_folder;
};

} // namespace wip
