#include "import/xlsxreader.h"

#include "import/ziparchive.h"

#include <QDate>
#include <QDir>
#include <QLocale>
#include <QXmlStreamReader>

#include <cmath>

namespace wip::import {

namespace {

constexpr int kMaxColumns = 16384;       // XFD, the spreadsheet programs' last column
constexpr int kMaxSheetRows = 1048576;
constexpr qsizetype kMaxSharedText = 256 * 1024 * 1024;   // characters of all shared strings together

// The number formats built into the file format that show dates or times.
bool builtInDate(int id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) || (id >= 50 && id <= 58);
}

// Whether a format code shows a date or time: a y, m, d, h or s outside quoted
// texts, escapes and brackets ("yyyy/m/d", "[$-804]yyyy年m月d日"; not "0.000").
bool formatShowsDate(QStringView code)
{
    bool quoted = false;
    int bracket = 0;
    for (qsizetype i = 0; i < code.size(); ++i) {
        const QChar c = code.at(i);
        if (c == u'"')
            quoted = !quoted;
        else if (quoted)
            continue;
        else if (c == u'\\' || c == u'_' || c == u'*')
            ++i;
        else if (c == u'[')
            ++bracket;
        else if (c == u']')
            bracket = qMax(0, bracket - 1);
        else if (bracket == 0 && QStringLiteral("yYmMdDhHsS").contains(c))
            return true;
    }
    return false;
}

QString numberText(double d)
{
    if (d == 0)
        return QStringLiteral("0");
    return QString::number(d, 'f', QLocale::FloatingPointShortest);
}

QString dateText(double serial, bool from1904)
{
    const QDate base = from1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    if (!std::isfinite(serial) || serial < 0 || serial > 2958465)   // up to 9999-12-31
        return numberText(serial);
    double days = std::floor(serial);
    qint64 seconds = qRound64((serial - days) * 86400.0);
    if (seconds >= 86400) {
        days += 1;
        seconds = 0;
    }
    const QDate day = base.addDays(qint64(days));
    if (seconds == 0)
        return day.toString(Qt::ISODate);
    return day.toString(Qt::ISODate) + QLatin1Char(' ') + QTime(0, 0).addSecs(int(seconds)).toString(Qt::ISODate);
}

QString resolved(const QString &folder, const QString &target)
{
    if (target.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(target.mid(1));
    return QDir::cleanPath(folder.isEmpty() ? target : folder + QLatin1Char('/') + target);
}

} // namespace

XlsxReader::XlsxReader(const QString &path)
    : m_path(path)
{
}

XlsxReader::~XlsxReader() = default;

bool XlsxReader::failed(const QString &why)
{
    if (m_error.isEmpty())
        m_error = why;
    return false;
}

bool XlsxReader::xmlFailed(const QXmlStreamReader &xml, const QString &part)
{
    return failed(QStringLiteral("工作簿的 %1 读不懂 (第 %2 行: %3)").arg(part).arg(xml.lineNumber()).arg(xml.errorString()));
}

std::optional<Sheet> XlsxReader::read(QString *error)
{
    m_zip = std::make_unique<ZipArchive>(m_path);
    SheetBuilder builder(QStringLiteral("xlsx"));
    const bool ok = m_zip->open()
        ? locateParts() && readSharedStrings() && readStyles() && readSheet(builder)
        : failed(QStringLiteral("不是 xlsx 工作簿 (the file is no workbook): ") + m_zip->error());
    m_zip.reset();
    if (!ok) {
        *error = m_error;
        return std::nullopt;
    }
    return builder.take();
}

std::unique_ptr<QIODevice> XlsxReader::openPart(const QString &name, bool mustExist)
{
    if (!m_zip->contains(name)) {
        if (mustExist)
            failed(QStringLiteral("工作簿缺少 %1 (the workbook lacks %1)").arg(name));
        return nullptr;
    }
    std::unique_ptr<QIODevice> part = m_zip->member(name);
    if (!part)
        failed(QStringLiteral("工作簿的 %1 打不开: %2").arg(name, m_zip->error()));
    return part;
}

std::optional<QList<XlsxReader::Relation>> XlsxReader::relations(const QString &part)
{
    const QString folder = part.section(QLatin1Char('/'), 0, -2);
    const QString rels = (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/")
        + part.section(QLatin1Char('/'), -1) + QStringLiteral(".rels");
    const std::unique_ptr<QIODevice> file = openPart(rels, true);
    if (!file)
        return std::nullopt;
    QList<Relation> list;
    QXmlStreamReader xml(file.get());
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("Relationship"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (a.value(QLatin1String("TargetMode")) == QLatin1String("External"))
            continue;
        list.append({a.value(QLatin1String("Id")).toString(),
                     a.value(QLatin1String("Type")).toString().section(QLatin1Char('/'), -1),
                     resolved(folder, a.value(QLatin1String("Target")).toString())});
    }
    if (xml.hasError()) {
        xmlFailed(xml, rels);
        return std::nullopt;
    }
    return list;
}

// The workbook part, its first sheet and the parts of its strings and formats.
bool XlsxReader::locateParts()
{
    const std::optional<QList<Relation>> package = relations(QString());
    if (!package)
        return failed(QStringLiteral("不是 xlsx 工作簿 (the file is no workbook)"));
    QString workbook;
    for (const Relation &r : *package) {
        if (r.type == QLatin1String("officeDocument"))
            workbook = r.target;
    }
    if (workbook.isEmpty())
        return failed(QStringLiteral("不是 xlsx 工作簿 (the package holds no workbook)"));
    const std::optional<QList<Relation>> parts = relations(workbook);
    if (!parts)
        return false;
    QString firstSheetId;
    {
        const std::unique_ptr<QIODevice> file = openPart(workbook, true);
        if (!file)
            return false;
        QXmlStreamReader xml(file.get());
        while (!xml.atEnd() && !xml.hasError() && firstSheetId.isEmpty()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("workbookPr")) {
                const QStringView v = xml.attributes().value(QLatin1String("date1904"));
                m_1904 = v == QLatin1String("1") || v == QLatin1String("true");
            } else if (xml.name() == QLatin1String("sheet")) {
                for (const QXmlStreamAttribute &a : xml.attributes()) {
                    if (a.name() == QLatin1String("id"))
                        firstSheetId = a.value().toString();
                }
            }
        }
        if (xml.hasError())
            return xmlFailed(xml, workbook);
    }
    for (const Relation &r : *parts) {
        if (r.id == firstSheetId)
            m_sheetPart = r.target;
        else if (r.type == QLatin1String("sharedStrings"))
            m_sharedPart = r.target;
        else if (r.type == QLatin1String("styles"))
            m_stylesPart = r.target;
    }
    if (m_sheetPart.isEmpty())
        return failed(QStringLiteral("工作簿没有工作表 (the workbook has no sheet)"));
    return true;
}

bool XlsxReader::readSharedStrings()
{
    if (m_sharedPart.isEmpty())
        return true;
    const std::unique_ptr<QIODevice> file = openPart(m_sharedPart, true);
    if (!file)
        return false;
    QXmlStreamReader xml(file.get());
    qsizetype total = 0;
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("si"))
            continue;
        m_shared.append(stringItem(xml));
        total += m_shared.last().size();
        if (total > kMaxSharedText)
            return failed(QStringLiteral("工作簿的文字太多 (the workbook's strings are too large)"));
    }
    return !xml.hasError() || xmlFailed(xml, m_sharedPart);
}

QString XlsxReader::stringItem(QXmlStreamReader &xml)
{
    const QString end = xml.name().toString();
    QString text;
    int phonetic = 0;
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("rPh"))
            ++phonetic;
        else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("rPh"))
            --phonetic;
        else if (token == QXmlStreamReader::StartElement && xml.name() == QLatin1String("t") && phonetic == 0)
            text += xml.readElementText();
        else if (token == QXmlStreamReader::EndElement && xml.name() == end)
            break;
    }
    return text;
}

// Which cell formats show dates: the formats' codes, then each cell format's one.
bool XlsxReader::readStyles()
{
    if (m_stylesPart.isEmpty())
        return true;
    const std::unique_ptr<QIODevice> file = openPart(m_stylesPart, false);
    if (!file)
        return m_error.isEmpty();
    QXmlStreamReader xml(file.get());
    QHash<int, bool> customDates;
    bool inCellFormats = false;
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("cellXfs"))
            inCellFormats = false;
        if (token != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        if (xml.name() == QLatin1String("numFmt")) {
            customDates.insert(a.value(QLatin1String("numFmtId")).toInt(),
                               formatShowsDate(a.value(QLatin1String("formatCode"))));
        } else if (xml.name() == QLatin1String("cellXfs")) {
            inCellFormats = true;
        } else if (inCellFormats && xml.name() == QLatin1String("xf")) {
            const int id = a.value(QLatin1String("numFmtId")).toInt();
            m_dateStyles.append(customDates.contains(id) ? customDates.value(id) : builtInDate(id));
        }
    }
    return !xml.hasError() || xmlFailed(xml, m_stylesPart);
}

bool XlsxReader::readSheet(SheetBuilder &builder)
{
    const std::unique_ptr<QIODevice> file = openPart(m_sheetPart, true);
    if (!file)
        return false;
    QXmlStreamReader xml(file.get());
    int line = 0;
    while (!xml.atEnd() && !xml.hasError()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("row"))
            continue;
        const QStringView r = xml.attributes().value(QLatin1String("r"));
        const int given = r.toInt();
        line = given > line ? given : line + 1;
        if (line > kMaxSheetRows)
            return failed(QStringLiteral("工作表多于 %1 行 (the sheet has more than %1 rows)").arg(kMaxSheetRows));
        if (!readRow(xml, line, builder))
            return false;
    }
    return !xml.hasError() || xmlFailed(xml, m_sheetPart);
}

// The cells of one <row>, placed by their references.
bool XlsxReader::readRow(QXmlStreamReader &xml, int line, SheetBuilder &builder)
{
    QStringList cells;
    int column = 0;
    while (!xml.atEnd() && !xml.hasError()) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("row"))
            break;
        if (token != QXmlStreamReader::StartElement || xml.name() != QLatin1String("c"))
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QStringView ref = a.value(QLatin1String("r"));
        qsizetype letters = 0;
        while (letters < ref.size() && ref.at(letters).isLetter())
            ++letters;
        const int given = columnNumber(ref.left(letters));
        column = given > 0 ? given : column + 1;
        if (column > kMaxColumns)
            return failed(QStringLiteral("第 %1 行的单元格 %2 超出工作表 (a cell beyond the sheet)").arg(line).arg(ref));
        const QString type = a.value(QLatin1String("t")).toString();
        const int style = a.value(QLatin1String("s")).toInt();
        QString value;
        QString inlineText;
        while (!xml.atEnd() && !xml.hasError()) {
            const QXmlStreamReader::TokenType t = xml.readNext();
            if (t == QXmlStreamReader::EndElement && xml.name() == QLatin1String("c"))
                break;
            if (t == QXmlStreamReader::StartElement && xml.name() == QLatin1String("v"))
                value = xml.readElementText();
            else if (t == QXmlStreamReader::StartElement && xml.name() == QLatin1String("is"))
                inlineText = stringItem(xml);
        }
        if (cells.size() < column)
            cells.resize(column);
        const std::optional<QString> text =
            type == QLatin1String("inlineStr") ? std::optional<QString>(inlineText) : cellText(type, value, style);
        if (!text)
            return failed(QStringLiteral("单元格 %1%2 指向不存在的共享文字 %3 (a shared string the workbook lacks)")
                              .arg(columnLetters(column)).arg(line).arg(value));
        cells[column - 1] = *text;
    }
    if (!m_error.isEmpty())
        return false;
    builder.addRow(line, std::move(cells));
    return true;
}

std::optional<QString> XlsxReader::cellText(const QString &type, const QString &value, int style) const
{
    if (type == QLatin1String("s")) {
        bool ok = false;
        const int index = value.toInt(&ok);
        if (!ok || index < 0 || index >= m_shared.size())
            return std::nullopt;
        return m_shared.at(index);
    }
    if (type == QLatin1String("b"))
        return value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    if (type == QLatin1String("d")) {
        QString text = value.trimmed();
        text.replace(QLatin1Char('T'), QLatin1Char(' '));
        return text.endsWith(QLatin1String(" 00:00:00")) ? text.left(10) : text;
    }
    if (!type.isEmpty() && type != QLatin1String("n"))
        return value;   // str (a formula's text), e (an error such as #N/A)
    bool ok = false;
    const double d = value.trimmed().toDouble(&ok);
    if (!ok)
        return value;
    return m_dateStyles.value(style, false) ? dateText(d, m_1904) : numberText(d);
}

} // namespace wip::import
