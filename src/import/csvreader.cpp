#include "import/csvreader.h"

#include <QStringDecoder>

namespace wip::import {

namespace {

// The spreadsheet programs' limit, and a bound on what a file can make us hold.
constexpr int kMaxCsvRows = 1048576;

std::optional<QString> decodeWith(QStringDecoder decoder, QByteArrayView bytes)
{
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

} // namespace

std::optional<QString> CsvReader::decode(const QByteArray &bytes, QString *encoding)
{
    const QByteArrayView view(bytes);
    if (view.startsWith("\xEF\xBB\xBF")) {
        *encoding = QStringLiteral("UTF-8");
        return decodeWith(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless), view.sliced(3));
    }
    if (view.startsWith("\xFF\xFE") || view.startsWith("\xFE\xFF")) {
        *encoding = QStringLiteral("UTF-16");
        const auto which = view.startsWith("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
        return decodeWith(QStringDecoder(which, QStringConverter::Flag::Stateless), view.sliced(2));
    }
    if (auto text = decodeWith(QStringDecoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless), view)) {
        *encoding = QStringLiteral("UTF-8");
        return text;
    }
    *encoding = QStringLiteral("GB18030");
    QStringDecoder gb18030("GB18030", QStringConverter::Flag::Stateless);
    if (!gb18030.isValid())
        return std::nullopt;
    std::optional<QString> text = decodeWith(std::move(gb18030), view);
    // Bytes GB18030 has no character for come out as the replacement character
    // (the decoder does not always report them).
    if (text && text->contains(QChar::ReplacementCharacter))
        return std::nullopt;
    return text;
}

// The separator the first row uses most: the comma unless it has more
// semicolons or tabs.
QChar CsvReader::separator(QStringView text)
{
    int commas = 0;
    int semicolons = 0;
    int tabs = 0;
    bool quoted = false;
    for (const QChar c : text) {
        if (c == u'"')
            quoted = !quoted;
        else if (!quoted && (c == u'\n' || c == u'\r'))
            break;
        else if (!quoted && c == u',')
            ++commas;
        else if (!quoted && c == u';')
            ++semicolons;
        else if (!quoted && c == u'\t')
            ++tabs;
    }
    if (tabs > commas && tabs >= semicolons)
        return u'\t';
    return semicolons > commas ? QChar(u';') : QChar(u',');
}

std::optional<Sheet> CsvReader::read(const QByteArray &bytes, QString *error)
{
    QString encoding;
    const std::optional<QString> decoded = decode(bytes, &encoding);
    if (!decoded) {
        *error = QStringLiteral("文件不是 UTF-8 也不是 GB18030 编码的文字, 不是 CSV 文件? "
                                "The file is no text in UTF-8 or GB18030.");
        return std::nullopt;
    }
    const QString &text = *decoded;
    const QChar sep = separator(text);
    SheetBuilder builder(QStringLiteral("CSV ") + encoding);
    QStringList cells;
    QString field;
    int line = 1;
    bool quoted = false;       // inside a quoted field
    bool fieldStarted = false; // the field has begun (a quote after it is a character)
    const qsizetype n = text.size();
    const auto endRecord = [&]() {
        cells << field;
        builder.addRow(line, std::move(cells));
        cells = QStringList();
        field.clear();
        fieldStarted = false;
        ++line;
    };
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == u'\r') {
                // A line break in a cell is one LF, as a spreadsheet program keeps it.
                field += u'\n';
                if (i + 1 < n && text.at(i + 1) == u'\n')
                    ++i;
            } else if (c != u'"') {
                field += c;
            } else if (i + 1 < n && text.at(i + 1) == u'"') {
                field += text.at(++i);
            } else {
                quoted = false;
            }
        } else if (c == u'"' && !fieldStarted) {
            quoted = fieldStarted = true;
        } else if (c == sep) {
            cells << field;
            field.clear();
            fieldStarted = false;
        } else if (c == u'\n' || c == u'\r') {
            if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
                ++i;
            endRecord();
            if (line > kMaxCsvRows + 1) {
                *error = QStringLiteral("文件多于 %1 行 The file has more than %1 rows.").arg(kMaxCsvRows);
                return std::nullopt;
            }
        } else {
            field += c;
            fieldStarted = true;
        }
    }
    if (quoted) {
        *error = QStringLiteral("第 %1 行: 引号没有结束 (a quote is never closed)").arg(line);
        return std::nullopt;
    }
    if (fieldStarted || !cells.isEmpty())
        endRecord();
    return builder.take();
}

} // namespace wip::import
