#include "workbookreader.h"

#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

namespace wip::test {

namespace {

const char kReader[] = R"PY(
import json, sys, zipfile, xml.etree.ElementTree as ET
ns = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'}
def read(name):
    z = zipfile.ZipFile(name)
    shared = []
    if 'xl/sharedStrings.xml' in z.namelist():
        for si in ET.fromstring(z.read('xl/sharedStrings.xml')).findall('m:si', ns):
            shared.append(''.join(t.text or '' for t in si.iter('{%s}t' % ns['m'])))
    cells = {}
    for c in ET.fromstring(z.read('xl/worksheets/sheet1.xml')).iter('{%s}c' % ns['m']):
        t = c.get('t', 'n')
        v = c.find('m:v', ns)
        if t == 's':
            cells[c.get('r')] = ['s', shared[int(v.text)]]
        elif t == 'inlineStr':
            cells[c.get('r')] = ['s', ''.join(x.text or '' for x in c.iter('{%s}t' % ns['m']))]
        elif t == 'str':
            cells[c.get('r')] = ['s', v.text or '']
        else:
            cells[c.get('r')] = [t, v.text if v is not None else '']
    return cells
if len(sys.argv) > 1:
    print(json.dumps(read(sys.argv[1]), ensure_ascii=False))
else:   # one file name a line, one answer a line
    for line in sys.stdin:
        try:
            answer = {'cells': read(line.rstrip('\n'))}
        except Exception as e:
            answer = {'error': str(e)}
        print(json.dumps(answer), flush=True)
)PY";

} // namespace

bool canReadWorkbooks()
{
    return !QStandardPaths::findExecutable(QStringLiteral("python3")).isEmpty();
}

QJsonObject readWorkbook(const QString &file, QString *error)
{
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (python.isEmpty()) {
        if (error)
            *error = QStringLiteral("python3 is not installed");
        return {};
    }
    QProcess p;
    p.start(python, {QStringLiteral("-c"), QString::fromUtf8(kReader), file});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        if (error)
            *error = QString::fromUtf8(p.readAllStandardError());
        return {};
    }
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

WorkbookReader::WorkbookReader() = default;

WorkbookReader::~WorkbookReader()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
    }
}

QJsonObject WorkbookReader::read(const QString &file, QString *error)
{
    const auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return QJsonObject();
    };
    if (m_process.state() == QProcess::NotRunning) {
        const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
        if (python.isEmpty())
            return fail(QStringLiteral("python3 is not installed"));
        m_process.start(python, {QStringLiteral("-c"), QString::fromUtf8(kReader)});
        if (!m_process.waitForStarted(10000))
            return fail(m_process.errorString());
    }
    m_process.write(file.toUtf8() + '\n');
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(60000))
            return fail(QStringLiteral("the reader gave no answer: ") + QString::fromUtf8(m_process.readAllStandardError()));
    }
    const QJsonObject answer = QJsonDocument::fromJson(m_process.readLine()).object();
    if (answer.contains(QStringLiteral("error")))
        return fail(answer[QStringLiteral("error")].toString());
    return answer[QStringLiteral("cells")].toObject();
}

} // namespace wip::test
