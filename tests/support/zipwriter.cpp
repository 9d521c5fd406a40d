#include "zipwriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

namespace wip::test {

namespace {

const char kWriter[] = R"PY(
import base64, json, sys, zipfile
members = json.load(sys.stdin)
with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:
    for name, data in members:
        z.writestr(name, base64.b64decode(data))
)PY";

} // namespace

bool writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &members, QString *error)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        if (error)
            *error = QStringLiteral("python3 is not installed");
        return false;
    }
    QJsonArray list;
    for (const auto &[name, data] : members)
        list.append(QJsonArray{name, QString::fromLatin1(data.toBase64())});
    QProcess p;
    p.start(python, {QStringLiteral("-c"), QString::fromUtf8(kWriter), path});
    p.write(QJsonDocument(list).toJson(QJsonDocument::Compact));
    p.closeWriteChannel();
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        if (error)
            *error = QString::fromUtf8(p.readAllStandardError());
        return false;
    }
    return true;
}

} // namespace wip::test
