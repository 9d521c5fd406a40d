#include "workbookreader.h"

#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>

namespace wip::test {

namespace {

const char kReader[] = R"PY(
import json, sys, zipfile, xml.etree.ElementTree as ET
ns = {'m': 'http://schemas.openxmlformats.org/spreadsheetml/2006/main'}
z = zipfile.ZipFile(sys.argv[1])
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
print(json.dumps(cells, ensure_ascii=False))
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

} // namespace wip::test
