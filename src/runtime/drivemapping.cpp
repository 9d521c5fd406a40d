#include "runtime/drivemapping.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace wip {

DriveMapping &DriveMapping::instance()
{
    static DriveMapping mapping;
    return mapping;
}

QString DriveMapping::defaultFolder(QChar letter) const
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.wip");
    const QChar upper = letter.toUpper();
    if (upper == QLatin1Char('P'))
        return base + QStringLiteral("/pictures");
    if (upper == QLatin1Char('D'))
        return base + QStringLiteral("/exports");
    return base + QStringLiteral("/drive-") + letter.toLower();
}

QString DriveMapping::folder(QChar letter) const
{
    const auto it = m_folders.constFind(letter.toUpper());
    return it != m_folders.cend() ? *it : defaultFolder(letter);
}

void DriveMapping::setFolder(QChar letter, const QString &folder)
{
    if (folder.isEmpty())
        m_folders.remove(letter.toUpper());
    else
        m_folders.insert(letter.toUpper(), QDir::cleanPath(folder));
}

void DriveMapping::resetFolders()
{
    m_folders.clear();
}

QString DriveMapping::workingFolder() const
{
    return m_workingFolder.isEmpty() ? QDir::currentPath() : m_workingFolder;
}

void DriveMapping::setWorkingFolder(const QString &folder)
{
    m_workingFolder = folder;
}

QString DriveMapping::resolve(const QString &hostPath) const
{
    if (hostPath.isEmpty())
        return QString();
    static const QRegularExpression drive(QStringLiteral("^([A-Za-z]):(.*)$"));
    const QRegularExpressionMatch m = drive.match(hostPath);
    if (!m.hasMatch()) {
        if (hostPath.startsWith(QLatin1Char('/')))
            return QDir::cleanPath(hostPath);
        QString relative = hostPath;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        return QDir::cleanPath(workingFolder() + QLatin1Char('/') + relative);
    }

    const QChar letter = m.captured(1).at(0).toUpper();
    const QString root = folder(letter);
    QStringList parts;
    for (const QString &part : m.captured(2).split(QRegularExpression(QStringLiteral("[\\\\/]")), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            if (parts.isEmpty())
                return QString();     // would leave the drive's folder
            parts.removeLast();
            continue;
        }
        parts.append(part);
    }
    if (!m_folders.contains(letter) && !QFileInfo::exists(root))
        QDir().mkpath(root);
    return parts.isEmpty() ? root : root + QLatin1Char('/') + parts.join(QLatin1Char('/'));
}

std::optional<QString> DriveMapping::confinedResolve(const QString &folderPath, const QString &fileName) const
{
    if (fileName.isEmpty() || fileName == QLatin1String(".") || fileName == QLatin1String(".."))
        return std::nullopt;
    for (const QChar c : fileName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') || c.unicode() < 0x20)
            return std::nullopt;
    }
    if (fileName.contains(QLatin1String("..")))
        return std::nullopt;
    const QString folderLocal = resolve(folderPath);
    if (folderLocal.isEmpty())
        return std::nullopt;
    return folderLocal + QLatin1Char('/') + fileName;
}

} // namespace wip
