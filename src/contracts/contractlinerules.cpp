#include "contracts/contractlinerules.h"

#include "runtime/values.h"

namespace wip {

namespace {

using Kind = LineField::Kind;

// Numbers a numeric(18,3) column holds, and a count of pieces: at most twelve
// digits before the point.
const Decimal kTooLarge = Decimal::fromInt(1'000'000'000'000LL);

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString numberProblem(const LineField &field, const QString &text)
{
    const std::optional<Decimal> value = ContractLineRules::number(text);
    if (!value)
        return QStringLiteral("%1 不是数字").arg(quoted(text));
    if (value->abs() >= kTooLarge)
        return QStringLiteral("%1 太大").arg(quoted(text));
    const int places = value->normalized().scale();
    if (field.kind == Kind::Pieces) {
        if (places > 0)
            return QStringLiteral("%1 不是整数").arg(quoted(text));
        if (value->sign() <= 0)
            return QStringLiteral("%1 必须大于 0").arg(quoted(text));
        return QString();
    }
    if (value->sign() < 0)
        return QStringLiteral("%1 不能小于 0").arg(quoted(text));
    if (places > 3)
        return QStringLiteral("%1 最多 3 位小数").arg(quoted(text));
    return QString();
}

// Calls f(line, name) for each line, name as the messages give it.
template <typename F>
void eachLine(const QList<ContractLine> &lines, F f)
{
    int newIndex = 0;
    for (const ContractLine &line : lines)
        f(line, line.name(line.isNew() ? ++newIndex : 0));
}

// The fields of a line that are checked: all of a new line, those changed of a
// changed line, none of a stored or deleted one.
QList<LineField> checkedFields(const ContractLine &line)
{
    QList<LineField> fields;
    if (line.state == ContractLine::State::New) {
        fields = LineField::all();
    } else if (line.state == ContractLine::State::Changed) {
        const QStringList changed = line.changedColumns();
        for (const LineField &f : LineField::all()) {
            if (changed.contains(f.column))
                fields << f;
        }
    }
    return fields;
}

Decimal pieces(const ContractLine &line, bool stored)
{
    const QString text = stored ? line.stored.value(QStringLiteral("quantity")) : line.text(QStringLiteral("quantity"));
    return ContractLineRules::number(text).value_or(Decimal::fromInt(0));
}

QString count(const Decimal &d)
{
    return values::numberText(d);
}

} // namespace

std::optional<Decimal> ContractLineRules::number(const QString &text)
{
    const std::optional<Decimal> value = values::parseNumber(text.trimmed());
    return value && value->isValid() ? value : std::nullopt;
}

QString ContractLineRules::fieldProblem(const LineField &field, const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return field.required ? QStringLiteral("不能空白") : QString();
    if (field.kind == Kind::Pieces || field.kind == Kind::Weight || field.kind == Kind::Money)
        return numberProblem(field, t);
    if (field.maxLength > 0 && t.size() > field.maxLength)
        return QStringLiteral("最多 %1 个字 (现在 %2 个)").arg(field.maxLength).arg(t.size());
    return QString();
}

QStringList ContractLineRules::checkFields(const QList<ContractLine> &lines)
{
    QStringList problems;
    eachLine(lines, [&](const ContractLine &line, const QString &name) {
        for (const LineField &f : checkedFields(line)) {
            const QString why = fieldProblem(f, line.text(f.column));
            if (!why.isEmpty())
                problems << QStringLiteral("%1 %2: %3").arg(name, f.caption, why);
        }
    });
    return problems;
}

QStringList ContractLineRules::checkCodes(const QList<ContractLine> &lines, const CodeState &state)
{
    QStringList problems;
    eachLine(lines, [&](const ContractLine &line, const QString &name) {
        for (const LineField &f : checkedFields(line)) {
            const QString code = line.text(f.column).trimmed();
            if (code.isEmpty() || (f.kind != Kind::Article && f.kind != Kind::Metal))
                continue;
            const bool article = f.kind == Kind::Article;
            switch (state(f.kind, code)) {
            case Code::Known:
                break;
            case Code::Unknown:
                problems << (article ? QStringLiteral("%1 %2: 款式资料里没有货号 %3 (在 基础资料 › 款式 Styles 增加)")
                                     : QStringLiteral("%1 %2: 成色资料里没有金属 %3 (在 基础资料 › 成色 Metals 增加)"))
                                .arg(name, f.caption, code);
                break;
            case Code::Inactive:
                problems << (article ? QStringLiteral("%1 %2: 货号 %3 已停用") : QStringLiteral("%1 %2: 金属 %3 已停用"))
                                .arg(name, f.caption, code);
                break;
            }
        }
    });
    return problems;
}

QStringList ContractLineRules::checkProgress(const QString &scno, const QList<ContractLine> &lines,
                                             const Progress &progress)
{
    using State = ContractLine::State;
    QStringList problems;
    Decimal total = Decimal::fromInt(0);
    QString lessened;   // the first line deleted or lessened, as the contract's message names it
    bool deleted = false;
    eachLine(lines, [&](const ContractLine &line, const QString &name) {
        const Decimal own = progress.linePieces.value(line.scondId, Decimal::fromInt(0));
        if (line.state == State::Deleted) {
            if (own.sign() > 0)
                problems << QStringLiteral("%1不能删除: 这一行已有 %2 件在生产中 (扫描记录)").arg(name, count(own));
            else if (progress.scanned.contains(line.scondId))
                problems << QStringLiteral("%1不能删除: 这一行已有扫描记录").arg(name);
            if (lessened.isEmpty() && pieces(line, true).sign() > 0) {
                lessened = name;
                deleted = true;
            }
            return;
        }
        const Decimal now = pieces(line, false);
        total += now;
        if (line.state != State::Changed || now >= pieces(line, true))
            return;
        if (now < own)
            problems << QStringLiteral("%1 数量: 不能少于 %2, 这一行已有 %2 件在生产中 (扫描记录)").arg(name, count(own));
        if (lessened.isEmpty())
            lessened = name;
    });
    if (!lessened.isEmpty() && total < progress.contract) {
        problems << (deleted ? QStringLiteral("%1不能删除: 合约 %2 已有 %3 件在生产中 (进度或工序), 删除后明细只有 %4 件")
                             : QStringLiteral("%1 数量: 合约 %2 已有 %3 件在生产中 (进度或工序), 改后明细只有 %4 件"))
                        .arg(lessened, scno, count(progress.contract), count(total));
    }
    return problems;
}

QStringList ContractLineRules::checkRights(bool newContract, bool headerChanged, const QList<ContractLine> &lines,
                                           Rights rights, const QString &user)
{
    using State = ContractLine::State;
    // (auto: the name Right is also the text function of sysfunc.h)
    const auto lacks = [&](auto r, const QString &what) {
        return QStringLiteral("用户 %1 没有%2销售合约的权限, 不能%3!")
            .arg(user, RightsCatalogue::entry(r).caption.section(QLatin1Char(' '), 0, 0), what);
    };
    QStringList problems;
    if (newContract && !(rights & Right::ContractAdd))
        return {lacks(Right::ContractAdd, QStringLiteral("增加合约"))};
    if (!newContract && headerChanged && !(rights & Right::ContractEdit))
        problems << lacks(Right::ContractEdit, QStringLiteral("修改合约表头"));
    eachLine(lines, [&](const ContractLine &line, const QString &name) {
        if (line.state == State::New && !newContract && !(rights & Right::ContractAdd))
            problems << lacks(Right::ContractAdd, QStringLiteral("增加明细 (%1)").arg(name));
        else if (line.state == State::Changed && !(rights & Right::ContractEdit))
            problems << lacks(Right::ContractEdit, QStringLiteral("修改%1").arg(name));
        else if (line.state == State::Deleted && !(rights & Right::ContractDelete))
            problems << lacks(Right::ContractDelete, QStringLiteral("删除%1").arg(name));
    });
    return problems;
}

} // namespace wip
