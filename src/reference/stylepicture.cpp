#include "reference/stylepicture.h"

#include "runtime/drivemapping.h"
#include "runtime/outputfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace wip::reference {

QString StylePicture::folder()
{
    return QStringLiteral("P:\\");
}

std::optional<QString> StylePicture::targetName(const QString &article, const QString &source)
{
    const QString suffix = QFileInfo(source).suffix().toLower();
    const QString name = article.trimmed() + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    if (article.trimmed().isEmpty() || !nameProblem(name).isEmpty())
        return std::nullopt;
    return name;
}

QString StylePicture::nameProblem(const QString &name)
{
    // The folder may be a share of a Windows server: no name Windows refuses.
    static const QString forbidden = QStringLiteral("<>:\"/\\|?*");
    for (const QChar c : name) {
        if (forbidden.contains(c))
            return QStringLiteral("%1 不能作文件名 (不能有 %2)").arg(name, forbidden);
    }
    if (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        return QStringLiteral("%1 不能作文件名").arg(name);
    if (!DriveMapping::instance().confinedResolve(folder(), name))
        return QStringLiteral("%1 不能作文件名").arg(name);
    return QString();
}

QString StylePicture::sourceProblem(const QString &source)
{
    const QFileInfo info(source);
    if (!info.isFile())
        return QStringLiteral("找不到图片文件 %1").arg(source);
    QImageReader reader(source);
    if (!reader.canRead())
        return QStringLiteral("%1 不是图片 (BMP, PNG, JPEG ...)").arg(info.fileName());
    return QString();
}

StylePicture::StylePicture(const QString &source, const QString &name)
    : m_source(source)
    , m_name(name)
{
}

StylePicture::~StylePicture() = default;

bool StylePicture::stage()
{
    const std::optional<QString> target = DriveMapping::instance().confinedResolve(folder(), m_name);
    if (!target) {
        m_message = nameProblem(m_name);
        return false;
    }
    QFile in(m_source);
    if (!in.open(QIODevice::ReadOnly)) {
        m_message = QStringLiteral("不能读图片文件 %1: %2").arg(m_source, in.errorString());
        return false;
    }
    const QByteArray bytes = in.readAll();
    // A picture folder given in the settings but not made yet is made now.
    QDir().mkpath(QFileInfo(*target).absolutePath());
    m_out = std::make_unique<OutputFile>(*target);
    if (!m_out->open() || m_out->write(bytes) != bytes.size()) {
        m_message = m_out->message();
        m_out.reset();
        return false;
    }
    return true;
}

bool StylePicture::commit()
{
    if (!m_out)
        return false;
    if (!m_out->commit()) {
        m_message = m_out->message();
        return false;
    }
    return true;
}

} // namespace wip::reference
