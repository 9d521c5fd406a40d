#pragma once

#include <QList>
#include <QString>

#include <cmath>
#include <iterator>

// The fixed lists the demo factory is made of: its metals, stones, product
// types, setting methods, customers, workers and the chain of departments a
// contract goes through (the process and stock codes are every factory's,
// FactoryCodes). DemoFactory writes the reference tables from them
// (demoreferencedata.cpp) and draws its contracts, steps and transfers from the
// same lists, so every code a step or transfer gives is one the reference
// tables hold.
namespace wip::demo {

inline double r3(double x) { return std::round(x * 1000.0) / 1000.0; }

// A metal: code, kind, purity (exact, as written), hallmark and name. The
// hallmark is the purity in thousandths, "PT" before it for platinum; solder
// is not stamped and has none.
struct Metal
{
    const char *code;
    const char *type;
    const char *purity;
    const char *hallmark;
    const char *name;

    double purityValue() const { return QString::fromLatin1(purity).toDouble(); }
};
inline constexpr Metal kMetals[] = {
    {"18KW", "GOLD", "0.750", "750", "18K白金 white gold"}, {"18KY", "GOLD", "0.750", "750", "18K黄金 yellow gold"},
    {"14KY", "GOLD", "0.585", "585", "14K黄金 yellow gold"}, {"9KR", "GOLD", "0.375", "375", "9K玫瑰金 rose gold"},
    {"PT950", "PT", "0.950", "PT950", "铂金950 platinum"},   {"PT900", "PT", "0.900", "PT900", "铂金900 platinum"},
};
// Wire and solder, issued and returned through the stocks.
inline constexpr Metal kWireSolder[] = {
    {"18KY线", "GOLD", "0.750", "750", "18K黄金线 wire"}, {"18KY焊", "GOLD", "0.700", "", "18K焊药 solder"},
    {"PT950线", "PT", "0.950", "PT950", "铂金线 wire"},   {"PT焊", "PT", "0.900", "", "铂金焊药 solder"},
};

struct Named
{
    const char *code;
    const char *name;
};
inline constexpr const char *kStones[] = {"DIA-RD-1.0", "DIA-RD-1.5", "DIA-PR-2.0", "RUBY-OV-3X2",
                                          "SAP-RD-2.0", "EMR-SQ-2.5", "CZ-RD-1.2"};
inline constexpr const char *kStoneNames[] = {"钻石 圆 1.0mm", "钻石 圆 1.5mm",    "钻石 公主方 2.0mm", "红宝石 椭圆 3x2mm",
                                              "蓝宝石 圆 2.0mm", "祖母绿 方 2.5mm", "锆石 圆 1.2mm"};
inline constexpr Named kArtTypes[] = {{"R", "戒指RING"},    {"P", "吊坠PENDANT"},  {"E", "耳环EARRING"},
                                      {"B", "手链BRACELET"}, {"N", "项链NECKLACE"}, {"K", "胸针BROOCH"}};
inline constexpr Named kSetTypes[] = {{"包镶", "BEZEL"},      {"钉镶", "PAVE"},       {"光圈镶", "FLUSH"},
                                      {"虎爪镶", "HAMMER PRONG"}, {"迫镶", "CHANNEL"},  {"田字镶", "MYSTERY"},
                                      {"无边镶", "INVISIBLE"},  {"闸镶", "PAVE PRONG"}, {"爪镶", "PRONG"},
                                      {"初始镶法", "INITIAL"}};
// The customers of contract i in turn (QOR orders most), and who they are.
inline constexpr const char *kCustomers[] = {"QOR", "TIF", "PAN", "QOR", "CHR", "MON", "QOR", "AUR"};
struct Customer
{
    const char *code;
    const char *name;
    const char *contact;
};
inline constexpr Customer kCustomerList[] = {
    {"QOR", "Qor Jewellery 高雅珠宝", "陈小姐 +852 2345 6789"}, {"TIF", "Tiffin & Co. 蒂芬", "Mr. Hale +1 212 555 0147"},
    {"PAN", "Pandara 潘达", "Ms. Berg +45 3312 4455"},         {"CHR", "Chrono Gems 时光宝石", "李先生 +86 20 8765 4321"},
    {"MON", "Monarch Fine Jewelry 君皇", "Ms. Rossi +39 02 555 0199"}, {"AUR", "Aurora 极光首饰", "王经理 +86 755 2233 4455"},
};
// Workers' names: each worker number has one of them (workerName), and the
// special work's workers the first four.
inline constexpr const char *kWorkers[] = {"陈志强", "李伟", "黄小明", "张丽", "王芳", "刘洋", "杨光", "赵军",
                                           "周婷", "吴彬", "郑海", "孙梅", "何勇", "林娜", "罗杰", "梁静"};
inline constexpr const char *kClerks[] = {"收发陈", "收发李", "收发黄"};
inline constexpr const char *kReasons[] = {"1-无石Stone delay", "2-未齐石stone pending", "3-烂石stone broken",
                                           "4-迟上金gold delay", "5-KC报废Int Rej",    "6-QOR报废QC Rej",
                                           "7-接单迟Issue Delay", "8-发出车石",          "9-车石完成"};
inline constexpr const char *kSpecialCodes[] = {"SPL_FIL", "SPL_SET", "SPL_FIN", "SPL_POL"};

// The production chain of a contract: process code, the stock that holds the
// department's work (empty: none), and the progress columns of table process.
struct Stage
{
    const char *gongxu;
    const char *stock;
    const char *progress;   // wax, casting ... ; nullptr for shipping
};
inline constexpr Stage kChain[] = {
    {"01-唧腊", "21-蜡仓收发", "wax"},       {"03-倒模", "01-金仓收发", "casting"},
    {"04-执模", "04-执模收发", "filing"},    {"06-镶石", "05-镶石收发", "setting"},
    {"07-执边", "06-执边收发", "finishing"}, {"08-打磨", "07-打磨收发", "polishing"},
    {"09-电金", "08-电金收发", "rhodium"},   {"20-出货", "20-成品PRODUCT", nullptr},
};
inline constexpr int kChainLength = 8;
inline constexpr int kDesigns = 40;
inline constexpr int kWorkersPerDepartment = 8;

// The workers of the chain: eight per department, numbered by the department's
// two digits and their own ("0403" is the third of 04-执模), each with one name,
// the same in every table that names the worker.
inline QString workerNumber(int stage, int worker)
{
    return QString::fromUtf8(kChain[stage].gongxu).left(2) + QStringLiteral("%1").arg(worker + 1, 2, 10, QLatin1Char('0'));
}
inline QString workerName(int stage, int worker)
{
    return QString::fromUtf8(kWorkers[(stage * 5 + worker) % std::size(kWorkers)]);
}
// The outside workshop that takes work out (11-外发), and the workers of the
// special work (SPL_FIL ... SPL_POL), one each with a number of their own.
inline QString outsideWorker() { return QStringLiteral("1101"); }
inline QString outsideName() { return QStringLiteral("外发厂 Outside"); }
inline QString specialWorker(int s) { return QStringLiteral("99%1").arg(s + 1, 2, 10, QLatin1Char('0')); }
inline QString specialName(int s) { return QString::fromUtf8(kWorkers[s]); }
// A filing worker who retired: in the worker table, no longer in use.
inline constexpr Named kRetiredWorker = {"0409", "钱国平"};

struct StoneLine
{
    QString stone;
    QString settype;
    double perPiece;
};

// The stones of design d (index 0 .. kDesigns-1); plain designs carry the
// placeholder line INIST / 初始镶法 only.
inline QList<StoneLine> stonesOf(int d)
{
    QList<StoneLine> lines;
    const int count = d % 4;
    if (count == 0) {
        lines.append({QStringLiteral("INIST"), QStringLiteral("初始镶法"), 0});
        return lines;
    }
    for (int s = 0; s < count; ++s) {
        const int stone = (d + s * 3) % int(std::size(kStones));
        const int settype = (d + s) % 9;   // never the initial method
        lines.append({QString::fromUtf8(kStones[stone]), QString::fromUtf8(kSetTypes[settype].code),
                      double(1 + (d * 5 + s * 7) % 24)});
    }
    return lines;
}

inline QString designNo(int d) { return QStringLiteral("D%1").arg(2401 + d); }
inline QString articleCode(int d)
{
    return QString::fromLatin1(kArtTypes[d % std::size(kArtTypes)].code) + QString::number(2401 + d);
}
inline double pieceWeight(int d) { return 2.5 + (d % 5) * 1.25; }

} // namespace wip::demo
