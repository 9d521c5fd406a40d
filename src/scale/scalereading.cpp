#include "scale/scalereading.h"

#include "desk/deskinput.h"

#include <QRegularExpression>

namespace wip {

namespace {

// A line as the clerk may read it in a message: printable ASCII, anything else
// as \xNN, cut after 40 characters.
QString printable(QByteArrayView line)
{
    QString s;
    for (const char c : line.first(qMin<qsizetype>(line.size(), 40))) {
        const uchar u = uchar(c);
        s += u >= 0x20 && u < 0x7f ? QString(QLatin1Char(c)) : QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
    }
    return line.size() > 40 ? s + QStringLiteral("…") : s;
}

ScaleReading garbled(QByteArrayView line)
{
    ScaleReading r;
    r.kind = ScaleReading::Kind::Garbled;
    r.why = QStringLiteral("秤送来的不是重量: \"%1\"").arg(printable(line));
    return r;
}

ScaleReading refused(const QString &shown, const QString &why)
{
    ScaleReading r;
    r.kind = ScaleReading::Kind::Refused;
    r.shown = shown;
    r.why = why;
    return r;
}

// The grams of a steady weight given as its whole and fraction digits in grams
// (kilograms already moved three places), exactly or refused.
ScaleReading stableGrams(QString whole, QString fraction, bool negative, const QString &shown)
{
    // Zeros beyond the milligram change nothing; any other digit there would
    // have to be rounded away, and a weight of gold is not rounded unseen.
    while (fraction.size() > 3 && fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    if (fraction.size() > 3)
        return refused(shown, QStringLiteral("秤读数 %1 超过三位小数, 不能四舍五入: 请把秤的精度设为 0.001 g").arg(shown));
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    const bool zero = whole == QLatin1String("0") && fraction.count(QLatin1Char('0')) == fraction.size();
    if (negative && !zero)
        return refused(shown, QStringLiteral("秤读数 %1 是负数: 请把秤归零").arg(shown));
    const QString grams = fraction.isEmpty() ? whole : whole + QLatin1Char('.') + fraction;
    QString why;
    if (!DeskInput::weight(grams, QStringLiteral("秤读数"), &why))
        return refused(shown, why);
    ScaleReading r;
    r.kind = ScaleReading::Kind::Stable;
    r.grams = grams;
    r.shown = shown;
    return r;
}

} // namespace

bool ScaleReading::isZero() const
{
    if (kind != Kind::Stable)
        return false;
    for (const QChar c : grams) {
        if (c != QLatin1Char('0') && c != QLatin1Char('.'))
            return false;
    }
    return true;
}

ScaleReading ScaleReading::parse(QByteArrayView line)
{
    const QString text = QString::fromLatin1(line).trimmed();
    if (text.isEmpty())
        return {};
    static const QRegularExpression header(QStringLiteral("^(ST|US|OL)\\s*,(.*)$"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression body(
        QStringLiteral("^\\s*(?:(GS|NT)\\s*,\\s*)?([+-]?)\\s*(\\d+)(?:\\.(\\d+))?\\s*([A-Za-z]*)$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch h = header.match(text);
    if (!h.hasMatch())
        return garbled(line);
    const QString status = h.captured(1).toUpper();
    if (status == QLatin1String("OL"))
        return refused(QString(), QStringLiteral("秤超载 (OL)"));
    const QRegularExpressionMatch b = body.match(h.captured(2));
    if (!b.hasMatch())
        return garbled(line);

    const bool negative = b.captured(2) == QLatin1String("-");
    const QString unit = b.captured(5);
    // The weight as the scale sent it, without its plus sign and leading zeros:
    // "+0012.3456 g" is shown "12.3456 g".
    QString shown = b.captured(3);
    while (shown.size() > 1 && shown.startsWith(QLatin1Char('0')))
        shown.remove(0, 1);
    if (negative)
        shown.prepend(QLatin1Char('-'));
    if (b.hasCaptured(4))
        shown += QLatin1Char('.') + b.captured(4);
    if (!unit.isEmpty())
        shown += QLatin1Char(' ') + unit;

    ScaleReading r;
    if (status == QLatin1String("US")) {
        r.kind = Kind::Unstable;
        r.shown = shown;
    } else {
        const QString u = unit.toLower();
        QString whole = b.captured(3);
        QString fraction = b.captured(4);
        if (u == QLatin1String("kg")) {   // 0.012340 kg is 12.340 g: the point moves, nothing is rounded
            fraction = fraction.leftJustified(3, QLatin1Char('0'));
            whole += fraction.left(3);
            fraction = fraction.mid(3);
        } else if (u.isEmpty()) {
            return refused(shown, QStringLiteral("秤读数 %1 没有单位: 请把秤设为输出 g").arg(shown));
        } else if (u != QLatin1String("g")) {
            return refused(shown, QStringLiteral("秤读数 %1 的单位不是 g 或 kg: 请把秤设为 g").arg(shown));
        }
        r = stableGrams(whole, fraction, negative, shown);
    }
    r.net = b.captured(1).compare(QLatin1String("NT"), Qt::CaseInsensitive) == 0;
    return r;
}

} // namespace wip
