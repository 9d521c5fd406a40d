#include "reference/fineness.h"

#include "runtime/values.h"

#include <QRegularExpression>

namespace wip::reference {

namespace {

bool isPlatinum(const QString &metalType)
{
    return metalType.trimmed().compare(QLatin1String("PT"), Qt::CaseInsensitive) == 0;
}

// The purity in thousandths: 0.75 -> 750.
qint64 thousandths(const Decimal &purity)
{
    return (purity * Decimal::fromInt(1000)).rounded(0).units();
}

// The purity with its three places, as the metals' grid shows it: "0.950".
QString purityText(const Decimal &purity)
{
    const qint64 t = thousandths(purity);
    return QStringLiteral("%1.%2").arg(t / 1000).arg(t % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

std::optional<Decimal> Fineness::purity(const QString &text)
{
    if (!purityProblem(text).isEmpty())
        return std::nullopt;
    return values::parseNumber(text);
}

QString Fineness::purityProblem(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return QStringLiteral("请输入成色, 例如 0.750");
    const std::optional<Decimal> p = values::parseNumber(t);
    if (!p || !p->isValid())
        return QStringLiteral("%1 不是数字").arg(t);
    if (p->sign() <= 0 || *p > Decimal::fromInt(1))
        return QStringLiteral("%1 不在 0 与 1 之间 (成色以小数写: 18K 为 0.750, PT950 为 0.950)").arg(t);
    if (p->normalized().scale() > 3)
        return QStringLiteral("%1 多于 3 位小数").arg(t);
    return QString();
}

QString Fineness::hallmarkProblem(const QString &hallmark, const QString &metalType, const Decimal &purity)
{
    const QString mark = hallmark.trimmed().toUpper();
    if (mark.isEmpty())
        return QString();
    static const QRegularExpression form(QStringLiteral("^([A-Z]*)\\s*([0-9]+)$"));
    const QRegularExpressionMatch m = form.match(mark);
    const QString expected = hallmarkFor(metalType, purity);
    if (!m.hasMatch() || m.captured(2).size() != 3)
        return QStringLiteral("%1 不是字印: 写成色的千分数, 例如 %2").arg(hallmark.trimmed(), expected);
    const QString letters = m.captured(1);
    if (isPlatinum(metalType) && letters != QLatin1String("PT"))
        return QStringLiteral("铂金的字印以 PT 开头: %1").arg(expected);
    if (!isPlatinum(metalType) && !letters.isEmpty() && letters != QLatin1String("AU"))
        return QStringLiteral("金的字印是千分数, 前面可写 AU: %1").arg(expected);
    if (m.captured(2).toLongLong() != thousandths(purity))
        return QStringLiteral("%1 与成色 %2 不符, 应为 %3")
            .arg(hallmark.trimmed(), purityText(purity), expected);
    return QString();
}

QString Fineness::hallmarkFor(const QString &metalType, const Decimal &purity)
{
    const QString digits = QStringLiteral("%1").arg(thousandths(purity), 3, 10, QLatin1Char('0'));
    return isPlatinum(metalType) ? QStringLiteral("PT") + digits : digits;
}

} // namespace wip::reference
