#include "reports/expressionfunctions.h"

#include "reports/displayformat.h"
#include "reports/expressionvalues.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <optional>

namespace wip::reports {

namespace {

using namespace expr;

bool anyNull(const QVariantList &args)
{
    for (const QVariant &a : args)
        if (a.isNull())
            return true;
    return false;
}


QVariant fnToday(const QVariantList &, const EvalEnv &env) { return env.context.currentDateTime(); }
QVariant fnGetRow(const QVariantList &, const EvalEnv &env) { return numberValue(env.row); }
QVariant fnPage(const QVariantList &, const EvalEnv &env) { return numberValue(env.context.page(env.row)); }
QVariant fnPageCount(const QVariantList &, const EvalEnv &env) { return numberValue(env.context.pageCount()); }
QVariant fnRowCount(const QVariantList &, const EvalEnv &env) { return numberValue(env.context.rowCount()); }

QVariant fnCrosstabSum(const QVariantList &args, const EvalEnv &env)
{
    const auto n = numberArg(args.at(0));
    if (!n)
        return QVariant();
    return env.context.crosstabSum(toInt(*n), env.row);
}

QVariant fnString(const QVariantList &args, const EvalEnv &)
{
    if (args.at(0).isNull())
        return QVariant();
    if (args.size() > 1 && !args.at(1).isNull())
        return formatValue(args.at(0), textOf(args.at(1)));
    return textOf(args.at(0));
}

QVariant fnTrim(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : QVariant(textOf(args.at(0)).trimmed());
}

QVariant fnUpper(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : QVariant(textOf(args.at(0)).toUpper());
}

QVariant fnLower(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : QVariant(textOf(args.at(0)).toLower());
}

QVariant fnLen(const QVariantList &args, const EvalEnv &)
{
    return args.at(0).isNull() ? QVariant() : numberValue(textOf(args.at(0)).size());
}

QVariant fnLeft(const QVariantList &args, const EvalEnv &)
{
    const auto n = numberArg(args.at(1));
    if (args.at(0).isNull() || !n)
        return QVariant();
    return textOf(args.at(0)).left(std::max(0, toInt(*n)));
}

QVariant fnRight(const QVariantList &args, const EvalEnv &)
{
    const auto n = numberArg(args.at(1));
    if (args.at(0).isNull() || !n)
        return QVariant();
    return textOf(args.at(0)).right(std::max(0, toInt(*n)));
}

QVariant fnMid(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    const QString s = textOf(args.at(0));
    const auto start = numberArg(args.at(1));
    if (!start || *start < Decimal::fromInt(1))
        return start ? QVariant(QString()) : QVariant();
    if (*start > Decimal::fromInt(s.size()))
        return QString();
    if (args.size() > 2) {
        const auto len = numberArg(args.at(2));
        if (!len)
            return QVariant();
        return s.mid(toInt(*start) - 1, std::max(0, toInt(*len)));
    }
    return s.mid(toInt(*start) - 1);
}

QVariant fnPos(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    qsizetype from = 0;
    if (args.size() > 2) {
        const auto start = numberArg(args.at(2));
        if (!start)
            return QVariant();
        from = std::max(0, toInt(*start) - 1);
    }
    const qsizetype i = textOf(args.at(0)).indexOf(textOf(args.at(1)), from);
    return numberValue(i + 1);
}

QVariant fnIsNull(const QVariantList &args, const EvalEnv &) { return args.at(0).isNull(); }

QVariant fnIsNumber(const QVariantList &args, const EvalEnv &)
{
    const QVariant &v = args.at(0);
    return isNumeric(v) || (isText(v) && textToNumber(v.toString()).has_value());
}

QVariant fnIsDate(const QVariantList &args, const EvalEnv &)
{
    const QVariant &v = args.at(0);
    return isDateLike(v) || (isText(v) && parseDateText(v.toString()).isValid());
}

QVariant fnNumber(const QVariantList &args, const EvalEnv &)
{
    if (args.at(0).isNull())
        return QVariant();
    const auto n = numberArg(args.at(0));
    return n ? numberValue(*n) : QVariant();
}

QVariant fnInteger(const QVariantList &args, const EvalEnv &)
{
    if (args.at(0).isNull())
        return QVariant();
    const auto n = numberArg(args.at(0));
    return n ? numberValue(n->truncated(0)) : QVariant();
}

// Applies a function of one number; NULL and non-numbers give NULL.
template<Decimal (Decimal::*F)() const>
QVariant numeric1(const QVariantList &args, const EvalEnv &)
{
    const auto n = args.at(0).isNull() ? std::nullopt : numberArg(args.at(0));
    return n ? numberValue(((*n).*F)()) : QVariant();
}

// round(x[, n]) and truncate(x[, n]): x to n decimals (0 when n is not given).
template <typename ToDecimals>
QVariant toDecimals(const QVariantList &args, ToDecimals apply)
{
    if (anyNull(args))
        return QVariant();
    const auto n = numberArg(args.at(0));
    const auto d = args.size() > 1 ? numberArg(args.at(1)) : std::optional<Decimal>(Decimal());
    if (!n || !d)
        return QVariant();
    return numberValue(apply(*n, toInt(*d)));
}

QVariant fnRound(const QVariantList &args, const EvalEnv &)
{
    return toDecimals(args, [](const Decimal &x, int places) { return x.rounded(places); });
}

QVariant fnTruncate(const QVariantList &args, const EvalEnv &)
{
    return toDecimals(args, [](const Decimal &x, int places) { return x.truncated(places); });
}

QVariant fnMod(const QVariantList &args, const EvalEnv &)
{
    if (anyNull(args))
        return QVariant();
    const auto a = numberArg(args.at(0));
    const auto b = numberArg(args.at(1));
    if (!a || !b)
        return QVariant();
    return numberValue(a->remainder(*b));   // NULL for b = 0
}


QVariant fnDate(const QVariantList &args, const EvalEnv &)
{
    const QDateTime dt = dateTimeArg(args.at(0));
    return dt.isValid() ? QVariant(dt.date()) : QVariant();
}

QVariant fnDateTime(const QVariantList &args, const EvalEnv &)
{
    QDateTime dt = dateTimeArg(args.at(0));
    if (!dt.isValid())
        return QVariant();
    if (args.size() > 1) {
        const QVariant &t = args.at(1);
        QTime time;
        if (t.typeId() == QMetaType::QTime)
            time = t.toTime();
        else if (t.typeId() == QMetaType::QDateTime)
            time = t.toDateTime().time();
        else if (isText(t)) {
            time = QTime::fromString(t.toString().trimmed(), QStringLiteral("HH:mm:ss"));
            if (!time.isValid())
                time = QTime::fromString(t.toString().trimmed(), QStringLiteral("H:mm"));
        }
        if (!time.isValid())
            return QVariant();
        dt.setTime(time);
    }
    return dt;
}

QVariant fnRelativeDate(const QVariantList &args, const EvalEnv &)
{
    const QDateTime dt = dateTimeArg(args.at(0));
    const auto n = args.at(1).isNull() ? std::nullopt : numberArg(args.at(1));
    if (!dt.isValid() || !n)
        return QVariant();
    return dt.date().addDays(toInt(*n));
}

template<int Part>
QVariant datePart(const QVariantList &args, const EvalEnv &)
{
    const QDateTime dt = dateTimeArg(args.at(0));
    if (!dt.isValid())
        return QVariant();
    switch (Part) {
    case 0: return numberValue(dt.date().year());
    case 1: return numberValue(dt.date().month());
    case 2: return numberValue(dt.date().day());
    case 3: return numberValue(dt.time().hour());
    case 4: return numberValue(dt.time().minute());
    default: return numberValue(dt.time().second());
    }
}

const BuiltinFunction kFunctions[] = {
    {"if", 3, 3, nullptr},
    {"sum", 1, 1, nullptr, AggregateKind::Sum},
    {"count", 1, 1, nullptr, AggregateKind::Count},
    {"avg", 1, 1, nullptr, AggregateKind::Avg},
    {"min", 1, 1, nullptr, AggregateKind::Min},
    {"max", 1, 1, nullptr, AggregateKind::Max},
    {"crosstabsum", 1, 1, fnCrosstabSum},
    {"getrow", 0, 0, fnGetRow},
    {"today", 0, 0, fnToday},
    {"now", 0, 0, fnToday},
    {"page", 0, 0, fnPage},
    {"pagecount", 0, 0, fnPageCount},
    {"rowcount", 0, 0, fnRowCount},
    {"string", 1, 2, fnString},
    {"trim", 1, 1, fnTrim},
    {"left", 2, 2, fnLeft},
    {"right", 2, 2, fnRight},
    {"mid", 2, 3, fnMid},
    {"len", 1, 1, fnLen},
    {"upper", 1, 1, fnUpper},
    {"lower", 1, 1, fnLower},
    {"pos", 2, 3, fnPos},
    {"isnull", 1, 1, fnIsNull},
    {"isnumber", 1, 1, fnIsNumber},
    {"isdate", 1, 1, fnIsDate},
    {"abs", 1, 1, numeric1<&Decimal::abs>},
    {"int", 1, 1, numeric1<&Decimal::floor>},
    {"ceiling", 1, 1, numeric1<&Decimal::ceiling>},
    {"round", 1, 2, fnRound},
    {"truncate", 1, 2, fnTruncate},
    {"mod", 2, 2, fnMod},
    {"number", 1, 1, fnNumber},
    {"real", 1, 1, fnNumber},
    {"dec", 1, 1, fnNumber},
    {"double", 1, 1, fnNumber},
    {"long", 1, 1, fnInteger},
    {"integer", 1, 1, fnInteger},
    {"date", 1, 1, fnDate},
    {"datetime", 1, 2, fnDateTime},
    {"relativedate", 2, 2, fnRelativeDate},
    {"year", 1, 1, datePart<0>},
    {"month", 1, 1, datePart<1>},
    {"day", 1, 1, datePart<2>},
    {"hour", 1, 1, datePart<3>},
    {"minute", 1, 1, datePart<4>},
    {"second", 1, 1, datePart<5>},
};

} // namespace

const BuiltinFunction *findBuiltinFunction(const QString &lowerName)
{
    for (const BuiltinFunction &f : kFunctions)
        if (lowerName == QLatin1String(f.name))
            return &f;
    return nullptr;
}

} // namespace wip::reports
