#include "database/rightscatalogue.h"

#include <QStringList>

namespace wip {

namespace {

// The two characters after the first of a contract text, and what each grants
// when the text ends in "B".
struct ContractCode
{
    const char *digits;
    Rights rights;
};
const ContractCode kContractCodes[] = {
    {"02", Right::ContractAdd},
    {"03", Right::ContractEdit},
    {"04", Right::ContractDelete},
    {"08", Right::ContractAdd | Right::ContractEdit | Right::ContractDelete},
    {"23", Right::ContractAdd | Right::ContractEdit},
    {"24", Right::ContractAdd | Right::ContractDelete},
    {"34", Right::ContractEdit | Right::ContractDelete},
};

constexpr Rights kContract = Right::ContractAdd | Right::ContractEdit | Right::ContractDelete;

} // namespace

const QList<RightsCatalogue::Entry> &RightsCatalogue::all()
{
    static const QString contracts = QStringLiteral("销售合约 Sales contracts");
    static const QList<Entry> list = {
        {Right::ContractAdd, QStringLiteral("add"), QStringLiteral("增加 add"), contracts,
         QLatin1String(contractModule), QLatin1String(contractFunction)},
        {Right::ContractEdit, QStringLiteral("edit"), QStringLiteral("修改 edit"), contracts,
         QLatin1String(contractModule), QLatin1String(contractFunction)},
        {Right::ContractDelete, QStringLiteral("delete"), QStringLiteral("删除 delete"), contracts,
         QLatin1String(contractModule), QLatin1String(contractFunction)},
        {Right::Scan, QStringLiteral("scan"), QStringLiteral("扫描 scan"), QStringLiteral("部门收发 Department desk"),
         QStringLiteral("M10"), QStringLiteral("H01")},
        {Right::ReferenceData, QStringLiteral("refdata"), QStringLiteral("资料 reference data"),
         QStringLiteral("基础资料 Reference data"), QStringLiteral("M10"), QStringLiteral("H02")},
        {Right::Import, QStringLiteral("import"), QStringLiteral("导入 import"), QStringLiteral("导入 Import"),
         QStringLiteral("M10"), QStringLiteral("H03")},
        {Right::Users, QStringLiteral("users"), QStringLiteral("用户 users"),
         QStringLiteral("用户与权限 Users and rights"), QStringLiteral("M10"), QStringLiteral("H04")},
        {Right::Supervisor, QStringLiteral("supervisor"), QStringLiteral("主管 supervisor"),
         QStringLiteral("部门收发 Department desk"), QStringLiteral("M10"), QStringLiteral("H05")},
    };
    return list;
}

const RightsCatalogue::Entry &RightsCatalogue::entry(Right right)
{
    for (const Entry &e : all()) {
        if (e.right == right)
            return e;
    }
    Q_UNREACHABLE();
}

const RightsCatalogue::Entry *RightsCatalogue::findByName(const QString &name)
{
    for (const Entry &e : all()) {
        if (e.name.compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return &e;
    }
    return nullptr;
}

Rights RightsCatalogue::every()
{
    Rights rights;
    for (const Entry &e : all())
        rights |= e.right;
    return rights;
}

Rights RightsCatalogue::contractRights(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    if (t.endsWith(QLatin1Char('A')))
        return kContract;
    if (!t.endsWith(QLatin1Char('B')))
        return {};
    const QString digits = t.mid(1, 2);
    for (const ContractCode &c : kContractCodes) {
        if (digits == QLatin1String(c.digits))
            return c.rights;
    }
    return {};
}

QString RightsCatalogue::contractText(Rights rights)
{
    rights &= kContract;
    if (rights == kContract)
        return grantedText();
    if (!rights)
        return QString();
    // The first code that grants exactly these: the old texts come first.
    for (const ContractCode &c : kContractCodes) {
        if (c.rights == rights)
            return QStringLiteral("X%1B").arg(QLatin1String(c.digits));
    }
    Q_UNREACHABLE();
}

bool RightsCatalogue::grants(const QString &text)
{
    return text.trimmed().endsWith(QLatin1Char('A'));
}

QString RightsCatalogue::grantedText()
{
    return QStringLiteral("X99A");
}

Rights RightsCatalogue::rightsOf(const Lookup &lookup)
{
    Rights rights = contractRights(lookup(QLatin1String(contractModule), QLatin1String(contractFunction)));
    for (const Entry &e : all()) {
        if (!(kContract & e.right) && grants(lookup(e.module, e.function)))
            rights |= e.right;
    }
    return rights;
}

bool RightsCatalogue::has(Right right, const Lookup &lookup)
{
    const Entry &e = entry(right);
    const QString text = lookup(e.module, e.function);
    return kContract & right ? bool(contractRights(text) & right) : grants(text);
}

QList<RightsCatalogue::Text> RightsCatalogue::textsFor(Rights rights)
{
    QList<Text> texts{{QLatin1String(contractModule), QLatin1String(contractFunction), contractText(rights)}};
    for (const Entry &e : all()) {
        if (!(kContract & e.right))
            texts.append({e.module, e.function, rights & e.right ? grantedText() : QString()});
    }
    return texts;
}

QString RightsCatalogue::describe(Rights rights, bool shortWords)
{
    QStringList words;
    for (const Entry &e : all()) {
        if (rights & e.right)
            words << (shortWords ? e.caption.section(QLatin1Char(' '), 0, 0) : e.caption);
    }
    return words.join(shortWords ? QStringLiteral(" ") : QStringLiteral(", "));
}

QString RightsCatalogue::names(Rights rights)
{
    QStringList words;
    for (const Entry &e : all()) {
        if (rights & e.right)
            words << e.name;
    }
    return words.join(QLatin1Char(','));
}

} // namespace wip
