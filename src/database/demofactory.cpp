#include "database/demofactory.h"

#include "database/batchinserter.h"
#include "database/passwordhash.h"
#include "database/schema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <cmath>

namespace wip {

namespace {

constexpr quint32 kSeed = 20041207;     // fixed: the demo factory is the same on every run
constexpr int kContractsPerScale = 800; // about 10 000 proch rows per scale unit

double r3(double x) { return std::round(x * 1000.0) / 1000.0; }

struct Metal
{
    const char *code;
    const char *type;
    double purity;
};
const Metal kMetals[] = {
    {"18KW", "GOLD", 0.750}, {"18KY", "GOLD", 0.750}, {"14KY", "GOLD", 0.585},
    {"9KR", "GOLD", 0.375},  {"PT950", "PT", 0.950},  {"PT900", "PT", 0.900},
};
// Wire and solder, issued and returned through the stocks.
const Metal kWireSolder[] = {
    {"18KY线", "GOLD", 0.750}, {"18KY焊", "GOLD", 0.700}, {"PT950线", "PT", 0.950}, {"PT焊", "PT", 0.900},
};
const char *const kStones[] = {"DIA-RD-1.0", "DIA-RD-1.5", "DIA-PR-2.0", "RUBY-OV-3X2",
                               "SAP-RD-2.0", "EMR-SQ-2.5", "CZ-RD-1.2"};

struct Named
{
    const char *code;
    const char *name;
};
const Named kArtTypes[] = {{"R", "戒指RING"},    {"P", "吊坠PENDANT"},  {"E", "耳环EARRING"},
                           {"B", "手链BRACELET"}, {"N", "项链NECKLACE"}, {"K", "胸针BROOCH"}};
const Named kSetTypes[] = {{"包镶", "BEZEL"},      {"钉镶", "PAVE"},       {"光圈镶", "FLUSH"},
                           {"虎爪镶", "HAMMER PRONG"}, {"迫镶", "CHANNEL"},  {"田字镶", "MYSTERY"},
                           {"无边镶", "INVISIBLE"},  {"闸镶", "PAVE PRONG"}, {"爪镶", "PRONG"},
                           {"初始镶法", "INITIAL"}};
const Named kGongxu[] = {{"01-唧腊", "WAX"},        {"02-修腊", "WAX TRIM"},    {"03-倒模", "CASTING"},
                         {"04-执模", "FILING"},     {"05-出水", "PICKLING"},    {"06-镶石", "SETTING"},
                         {"07-执边", "FINISHING"},  {"08-打磨", "POLISHING"},   {"09-电金", "PLATING"},
                         {"11-外发", "OUTSIDE"},    {"12-石仓", "STONE STORE"}, {"13-金仓", "GOLD STORE"},
                         {"20-出货", "SHIPPING"},   {"SPL_FIL", "SPECIAL FILING"},
                         {"SPL_SET", "SPECIAL SETTING"}, {"SPL_FIN", "SPECIAL FINISHING"},
                         {"SPL_POL", "SPECIAL POLISHING"}};
const Named kStocks[] = {{"01-金仓收发", "Gold Stock"},     {"02-石仓收发", "Stone Stock"},
                         {"03-Tarvel金仓", "Tarvel Stock"}, {"04-执模收发", "Filing Stock"},
                         {"05-镶石收发", "Setting Stock"},  {"06-执边收发", "Finishing Stock"},
                         {"07-打磨收发", "Polishing Stock"}, {"08-电金收发", "Rhodium Stock"},
                         {"12-外工收发", "OutSide Stock"},  {"20-成品PRODUCT", "Product Stock"},
                         {"21-蜡仓收发", "Wax Stock"}};
const char *const kCustomers[] = {"QOR", "TIF", "PAN", "QOR", "CHR", "MON", "QOR", "AUR"};
const char *const kWorkers[] = {"陈志强", "李伟", "黄小明", "张丽", "王芳", "刘洋", "杨光", "赵军",
                                "周婷", "吴彬", "郑海", "孙梅", "何勇", "林娜", "罗杰", "梁静"};
const char *const kClerks[] = {"收发陈", "收发李", "收发黄"};
const char *const kReasons[] = {"1-无石Stone delay", "2-未齐石stone pending", "3-烂石stone broken",
                                "4-迟上金gold delay", "5-KC报废Int Rej",    "6-QOR报废QC Rej",
                                "7-接单迟Issue Delay", "8-发出车石",          "9-车石完成"};

// The production chain of a contract: process code, the stock that holds the
// department's work (empty: none), and the progress columns of table process.
struct Stage
{
    const char *gongxu;
    const char *stock;
    const char *progress;   // wax, casting ... ; nullptr for shipping
};
const Stage kChain[] = {
    {"01-唧腊", "21-蜡仓收发", "wax"},       {"03-倒模", "01-金仓收发", "casting"},
    {"04-执模", "04-执模收发", "filing"},    {"06-镶石", "05-镶石收发", "setting"},
    {"07-执边", "06-执边收发", "finishing"}, {"08-打磨", "07-打磨收发", "polishing"},
    {"09-电金", "08-电金收发", "rhodium"},   {"20-出货", "20-成品PRODUCT", nullptr},
};
constexpr int kChainLength = 8;
constexpr int kDesigns = 40;

struct StoneLine
{
    QString stone;
    QString settype;
    double perPiece;
};

// The stones of design d (index 0 .. kDesigns-1); plain designs carry the
// placeholder line INIST / 初始镶法 only.
QList<StoneLine> stonesOf(int d)
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

QString designNo(int d) { return QStringLiteral("D%1").arg(2401 + d); }
QString articleCode(int d)
{
    return QString::fromLatin1(kArtTypes[d % std::size(kArtTypes)].code) + QString::number(2401 + d);
}
double pieceWeight(int d) { return 2.5 + (d % 5) * 1.25; }

} // namespace

DemoFactory::DemoFactory(QSqlDatabase db, DbKind kind, QDate today, int scale)
    : m_db(db), m_kind(kind), m_today(today.isValid() ? today : QDate::currentDate()),
      m_scale(qMax(1, scale)), m_rng(kSeed)
{
}

QStringList DemoFactory::designNumbers()
{
    QStringList list;
    for (int d = 0; d < kDesigns; ++d)
        list << designNo(d);
    return list;
}

const QList<DemoFactory::DemoUser> &DemoFactory::demoUsers()
{
    static const QList<DemoUser> users = {
        {QStringLiteral("ADMIN"), QStringLiteral("管理员 Admin"), QStringLiteral("admin-2004"), QStringLiteral("X99A")},
        {QStringLiteral("PLAN"), QStringLiteral("计划 Planner"), QStringLiteral("plan-2004"), QStringLiteral("X02B")},
        {QStringLiteral("CLERK"), QStringLiteral("收发 Clerk"), QStringLiteral("clerk-2004"), QStringLiteral("X03B")},
        {QStringLiteral("QC"), QStringLiteral("品检 Inspector"), QStringLiteral("qc-2004"), QStringLiteral("X04B")},
        {QStringLiteral("BOSS"), QStringLiteral("主管 Supervisor"), QStringLiteral("boss-2004"), QStringLiteral("X08B")},
        {QStringLiteral("VIEW"), QStringLiteral("查看 Viewer"), QStringLiteral("view-2004"), QString()},
    };
    return users;
}

// Wall-clock times are written as UTC date-times: the stored text is the same, and
// no local midnight can fall into a daylight-saving gap and become invalid (NULL).
QDateTime DemoFactory::day(int offset, int hour, int minute) const
{
    return QDateTime(m_today.addDays(offset), QTime(hour, minute), Qt::UTC);
}

bool DemoFactory::finish(BatchInserter &inserter)
{
    if (inserter.flush())
        return true;
    m_error = inserter.error();
    return false;
}

bool DemoFactory::run()
{
    return writeReferenceData() && writeContracts() && writeUsers() && resyncSequences();
}

bool DemoFactory::writeReferenceData()
{
    BatchInserter gongxu(m_db, m_kind, QStringLiteral("gongxu"), {"gongxu_code", "gongxu_name"});
    for (const Named &g : kGongxu)
        gongxu.add({QString::fromUtf8(g.code), QString::fromUtf8(g.name)});
    // The factory lists filing twice (two filing rooms); the windows show it once.
    gongxu.add({QStringLiteral("04-执模"), QStringLiteral("FILING ROOM 2")});
    if (!finish(gongxu))
        return false;

    BatchInserter stock(m_db, m_kind, QStringLiteral("stock"), {"stock_code", "stock_name"});
    for (const Named &s : kStocks)
        stock.add({QString::fromUtf8(s.code), QString::fromUtf8(s.name)});
    if (!finish(stock))
        return false;

    BatchInserter material(m_db, m_kind, QStringLiteral("material"), {"mcode", "mtype", "purate"});
    for (const Metal &m : kMetals)
        material.add({QString::fromUtf8(m.code), QString::fromUtf8(m.type), m.purity});
    for (const Metal &m : kWireSolder)
        material.add({QString::fromUtf8(m.code), QString::fromUtf8(m.type), m.purity});
    for (const char *s : kStones)
        material.add({QString::fromUtf8(s), QStringLiteral("STONE"), 1.0});
    material.add({QStringLiteral("INIST"), QStringLiteral("STONE"), 0.0});
    material.add({QStringLiteral("WAX-BLUE"), QStringLiteral("WAX"), 0.0});
    if (!finish(material))
        return false;

    BatchInserter arttype(m_db, m_kind, QStringLiteral("arttype"), {"arttype_code", "arttype_name"});
    for (const Named &a : kArtTypes)
        arttype.add({QString::fromUtf8(a.code), QString::fromUtf8(a.name)});
    BatchInserter settype(m_db, m_kind, QStringLiteral("settype"), {"settype_code", "settype_name"});
    for (const Named &s : kSetTypes)
        settype.add({QString::fromUtf8(s.code), QString::fromUtf8(s.name)});
    if (!finish(arttype) || !finish(settype))
        return false;

    BatchInserter article(m_db, m_kind, QStringLiteral("article"), {"article_code", "arttype_code", "pic_name"});
    BatchInserter artsd(m_db, m_kind, QStringLiteral("artsd"),
                        {"article_code", "stone_code", "settype_code", "qtycal"});
    BatchInserter stoneneed(m_db, m_kind, QStringLiteral("stoneneed"), {"article_code", "stoneneed"});
    for (int d = 0; d < kDesigns; ++d) {
        article.add({articleCode(d), QString::fromLatin1(kArtTypes[d % std::size(kArtTypes)].code),
                     QString(designNo(d) + QStringLiteral(".BMP"))});
        double need = 0;
        for (const StoneLine &s : stonesOf(d)) {
            artsd.add({articleCode(d), s.stone, s.settype, s.perPiece});
            need += s.perPiece;
        }
        stoneneed.add({articleCode(d), need});
    }
    if (!finish(article) || !finish(artsd) || !finish(stoneneed))
        return false;

    // Setting status by setting method, for this month and the last.
    BatchInserter needStone(m_db, m_kind, QStringLiteral("need_stone"),
                            {"lshid", "bt", "name", "baox", "dingx", "gqx", "hzx", "bix", "tzx", "zdx",
                             "zx", "wbx", "nx", "fromdate", "todate"});
    const QDate monthStart(m_today.year(), m_today.month(), 1);
    const char *const groups[] = {"镶石一组", "镶石二组", "镶石三组"};
    int lshid = 0;
    for (int period = 0; period < 2; ++period) {
        const QDate from = monthStart.addMonths(-period);
        const QDate to = from.addMonths(1).addDays(-1);
        for (const char *g : groups) {
            QVariantList row{++lshid, QStringLiteral("镶石进度表 Setting status"), QString::fromUtf8(g)};
            for (int k = 0; k < 10; ++k)
                row << double((lshid * 37 + k * 11) % 120);
            row << QDateTime(from, QTime(0, 0), Qt::UTC) << QDateTime(to, QTime(0, 0), Qt::UTC);
            needStone.add(row);
        }
    }
    if (!finish(needStone))
        return false;

    BatchInserter wlly(m_db, m_kind, QStringLiteral("jcjl_wlly"), {"wlly", "mcode", "zmcode", "qtyref"});
    const char *const origins[] = {"客供Customer", "自购Purchase", "回收Recycle"};
    for (int o = 0; o < 3; ++o)
        for (int m = 0; m < 4; ++m)
            wlly.add({QString::fromUtf8(origins[o]), QString::fromUtf8(kMetals[m].code),
                      QString(QString::fromUtf8(kMetals[m].code) + QStringLiteral("原料WIP")),
                      r3(150.0 + o * 40.5 + m * 12.25)});
    return finish(wlly);
}

bool DemoFactory::writeContracts()
{
    auto make = [this](const char *table, std::initializer_list<const char *> columns) {
        QStringList c;
        for (const char *name : columns)
            c << QString::fromLatin1(name);
        return std::make_unique<BatchInserter>(m_db, m_kind, QString::fromLatin1(table), c);
    };
    auto sconh = make("sconh", {"sconh_id", "scno", "cust_no", "cust_order", "issdate", "deldate",
                                "inv_no", "invdate", "take"});
    auto scond = make("scond", {"scond_id", "scno", "design_no", "article_code", "metal", "size", "finding",
                                "rhodium", "quantity", "metal_netwt", "hallmark", "remarks", "unit_labprice"});
    QStringList processCols;
    for (const ColumnDef &c : Schema::table(QStringLiteral("process"))->columns)
        processCols << c.name;
    auto process = std::make_unique<BatchInserter>(m_db, m_kind, QStringLiteral("process"), processCols);
    auto proch = make("proch", {"proch_id", "scno", "gongxu_code", "changhao", "xingming", "sttime", "edtime",
                                "qty", "wsheetno", "opername", "memo"});
    auto prochNew = make("proch_new", {"scno", "gongxu_code", "changhao", "xingming", "sttime", "edtime",
                                       "qty", "weight", "wsheetno"});
    auto matuse = make("matuse", {"proch_id", "scno", "gongxu_code", "changhao", "mcode", "waycode",
                                  "sqtycal", "sqtyref"});
    auto castind = make("castind", {"castind_id", "castinh_no", "contractno", "mcode", "hcode", "lotno",
                                    "ldate", "qtycal", "qtyref", "loss", "puwithloss"});
    auto cumind = make("cumind", {"contractno", "mcode", "qtycal"});
    auto mattran = make("jcjl_mattran",
                        {"mattran_no", "scno", "ldate", "zt", "fcode", "tcode", "mcode", "zmcode", "hcode",
                         "lotno", "metal", "qtycal", "qtyref", "fpcs", "fweight", "freturn", "loss",
                         "gonghao", "name", "client_no", "custom", "product_name", "style_no",
                         "inputname", "modifyname"});
    auto workReport = make("work_report",
                           {"lsh", "scno", "gongxu", "changhao", "xingming", "wsheetno", "cust",
                            "article_code", "product_name", "metal", "mcode", "del_date", "fin_date",
                            "ldate", "sdata", "zt", "iss_pcs", "iss_weight", "fin_pcs", "fin_weight",
                            "pen_pcs", "pen_weight", "ret_weight", "loss", "bz"});
    auto flreturn = make("flreturn", {"wsheetno", "scno", "gongxu_code", "changhao", "client", "mcode",
                                      "zmcode", "pcs", "weight", "ldate"});
    auto workWip = make("work_wip", {"worksheet", "scno", "gongxu_code", "changhao", "xingming", "name",
                                     "cust_no", "pcs", "weight", "sttime", "deltime", "bz"});
    auto stonein = make("stonein", {"scno", "stonein"});
    auto stissdate = make("stissdate", {"scno", "startdate", "latestdate"});
    auto wipFinish = make("wip_finish", {"scno", "cust", "pcs", "weight"});
    auto wipIss = make("wip_iss", {"scno", "cust", "pcs", "weight"});
    auto wipReturn = make("wip_return", {"scno", "cust", "pcs", "weight"});
    std::unique_ptr<BatchInserter> spl[4] = {make("spl_fil_wipp", {"scno", "wip", "isshand", "pending"}),
                                             make("spl_set_wipp", {"scno", "wip", "isshand", "pending"}),
                                             make("spl_fin_wipp", {"scno", "wip", "isshand", "pending"}),
                                             make("spl_pol_wipp", {"scno", "wip", "isshand", "pending"})};
    const char *const splCodes[] = {"SPL_FIL", "SPL_SET", "SPL_FIN", "SPL_POL"};

    long long scondId = 0, prochId = 0, castindId = 0, lsh = 0, sheet = 0, note = 0;
    const int contracts = kContractsPerScale * m_scale;
    const QVariant null;
    const QVariant nullDate(QMetaType::fromType<QDateTime>());

    for (int i = 0; i < contracts; ++i) {
        const bool sample = i % 12 == 5;
        const QString scno = (sample ? QStringLiteral("S") : QStringLiteral("KC"))
                             + QString::number(2400001 + i);
        const int d = (i * 7 + i / 80) % kDesigns;
        const QString article = articleCode(d);
        const QString design = designNo(d);
        const QString customer = QString::fromLatin1(kCustomers[i % std::size(kCustomers)]);
        const QString custOrder = customer + QStringLiteral("-PO") + QString::number(7000 + i);
        const QString product = QString::fromUtf8(kArtTypes[d % std::size(kArtTypes)].name);
        const int issOffset = -(10 + (i * 13) % 110);
        const int delOffset = (i * 17) % 90 - 30;
        // Stage 0..7: the department now holding the work; 8: all done, not invoiced;
        // 9: shipped and invoiced.
        const int stage = i % 10;
        const bool invoiced = stage == 9;
        const int lastDone = -((i / 10) % 8);   // the last finished department finished this many days ago

        sconh->add({i + 1, scno, customer, custOrder, day(issOffset), day(delOffset),
                    // Not invoiced: NULL, or an empty number as some clerks leave it.
                    invoiced ? QVariant(QStringLiteral("INV%1").arg(50000 + i))
                             : stage == 8 ? QVariant(QStringLiteral("")) : null,
                    invoiced ? QVariant(day(lastDone)) : nullDate, 0});

        // Lines: one design in one to three metals.
        const int lines = 1 + i % 3;
        double pieces = 0, metalWeight = 0;
        QList<QPair<QString, double>> lineMetal;   // metal, pieces
        for (int l = 0; l < lines; ++l) {
            const Metal &m = kMetals[(i + l) % std::size(kMetals)];
            const double q = 6 + m_rng.bounded(60);
            const double wt = r3(q * pieceWeight(d));
            pieces += q;
            metalWeight += wt;
            lineMetal.append({QString::fromUtf8(m.code), q});
            scond->add({++scondId, scno, design, article, QString::fromUtf8(m.code),
                        QString::number(5 + (i + l) % 12), l % 2 ? QStringLiteral("耳迫") : QString(),
                        (l + i) % 3 == 0 ? QStringLiteral("白金电") : QString(), q, wt,
                        QString(QString::fromUtf8(m.code).left(2) == QLatin1String("PT")
                                    ? QStringLiteral("PT950 ") + customer : QStringLiteral("750 ") + customer),
                        i % 4 == 0 ? QStringLiteral("客人要求加急 rush order") : QStringLiteral("按样板做"),
                        r3(12.5 + (d % 7) * 3.75 + m_rng.bounded(100) / 40.0)});
        }

        // Stones the contract needs, received and issued.
        double stonesNeeded = 0;
        const QList<StoneLine> stones = stonesOf(d);
        for (const StoneLine &s : stones)
            stonesNeeded += s.perPiece * pieces;
        const double stonesIssued = stage > 3 ? stonesNeeded : stage == 3 ? std::floor(stonesNeeded / 2) : 0;
        const double stonesIn = stage >= 3 ? stonesNeeded : (i % 3 == 0 ? 0 : std::floor(stonesNeeded * 0.6));
        if (stonesNeeded > 0) {
            stonein->add({scno, stonesIn});
            stissdate->add({scno, day(issOffset + 3), day(qMin(0, issOffset + 20))});
        }

        // Finish date (days from today) of chain department k < stage.
        auto doneOffset = [&](int k) {
            const int last = qMin(stage, kChainLength) - 1;
            return qMax(issOffset + k + 1, lastDone - (last - k) * 2);
        };

        // Progress record.
        QVariantList prog{i + 1, scno};
        for (int k = 0; k < 7; ++k) {
            const double in = stage >= k ? pieces : 0;
            const double out = stage > k ? pieces : 0;
            prog << in << out;
        }
        prog << stonesNeeded << stonesIssued;
        const double goldIn = r3(metalWeight * 1.08);
        prog << goldIn << (stage >= 8 ? goldIn : r3(goldIn * 0.55));
        for (int k = 0; k < 7; ++k) {
            if (stage > k)
                prog << day(doneOffset(k), 16, 30);
            else if (stage == k)
                prog << day(qMin(0, doneOffset(k) + 1), 9);
            else
                prog << nullDate;
        }
        const bool delayed = stage < 8 && i % 5 == 1;
        const int reason = (i / 5) % 9;
        prog << (delayed ? QVariant(QString::number(reason + 1)) : null)
             << (delayed ? QVariant(QString::fromUtf8(kReasons[reason])) : null);
        // In the table's column order: id, scno, the in/out pairs of wax .. rhodium,
        // qc and gold, the seven dates, remark, bz.
        process->add(prog);

        // Process steps, department by department.
        const int lastStage = qMin(stage, kChainLength - 1);
        for (int k = 0; k <= lastStage; ++k) {
            const Stage &st = kChain[k];
            const bool done = k < stage;
            const int workers = 1 + (i + k) % 4;
            const QString gx = QString::fromUtf8(st.gongxu);
            double left = pieces;
            for (int w = 0; w < workers; ++w) {
                const double q = w == workers - 1 ? left : std::floor(pieces / workers);
                left -= q;
                if (q <= 0)
                    continue;
                const int workerNo = (i + w * 3 + k) % 8;
                const QString changhao = gx.left(2) + QStringLiteral("%1").arg(workerNo + 1, 2, 10, QLatin1Char('0'));
                const bool nameless = !done && w == 0 && i % 7 == 0;
                const QString xingming = nameless ? QString()
                                                  : QString::fromUtf8(kWorkers[(k * 5 + workerNo) % std::size(kWorkers)]);
                const QString ws = QStringLiteral("WS%1").arg(++sheet, 7, 10, QLatin1Char('0'));
                const int startOffset = done ? doneOffset(k) - 1 - w % 2 : -(i % 5);
                const QVariant edtime = done ? QVariant(day(doneOffset(k))) : nullDate;
                const QDateTime sttime = day(startOffset, 8 + w, 30);
                const double weight = r3(q * pieceWeight(d) * (k <= 2 ? 1.12 : 1.02));
                ++prochId;
                proch->add({prochId, scno, gx, changhao, xingming, sttime, edtime, q, ws,
                            QString::fromUtf8(kClerks[(i + k) % 3]),
                            i % 11 == 0 ? QStringLiteral("急单 rush") : QString()});
                // The same step with its weight; some open ones carry the factory's
                // placeholder date 1899-12-30 instead of NULL.
                QVariant newEd = edtime;
                if (!done && i % 13 == 0)
                    newEd = QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
                prochNew->add({scno, gx, changhao, xingming, sttime, newEd, q, weight, ws});

                // Material the step used: the metal, and at setting the stones.
                if (k >= 2 && k <= 6) {
                    const auto &lm = lineMetal.at(w % lineMetal.size());
                    matuse->add({prochId, scno, gx, changhao, lm.first, null, weight, q});
                    if (w == 0 && lineMetal.size() > 1)   // a step that used a second metal
                        matuse->add({prochId, scno, gx, changhao, lineMetal.at(1).first, null,
                                     r3(weight / 4), q});
                }
                if (k == 3) {
                    for (const StoneLine &s : stones)
                        if (s.stone != QLatin1String("INIST"))
                            matuse->add({prochId, scno, gx, changhao, s.stone, s.settype, s.perPiece * q,
                                         r3(s.perPiece * q * 0.01)});
                }

                // Worker sheets of filing to polishing: finished (FIN) and pending (PEN).
                if (k >= 2 && k <= 5) {
                    const double loss = r3(weight * 0.015);
                    workReport->add({++lsh, scno, gx, changhao, xingming, ws, customer, article, product,
                                     lineMetal.first().first, lineMetal.first().first,
                                     day(delOffset), done ? edtime : nullDate, done ? edtime : QVariant(sttime),
                                     sttime, done ? QStringLiteral("FIN") : QStringLiteral("PEN"), q, weight,
                                     done ? q : 0.0, done ? r3(weight - loss) : 0.0, done ? 0.0 : q,
                                     done ? 0.0 : weight, done ? r3(loss / 3) : 0.0, done ? loss : 0.0,
                                     QString()});
                    if (done && k == 2)
                        flreturn->add({ws, scno, gx, changhao, customer, lineMetal.first().first,
                                       QString(lineMetal.first().first + QStringLiteral("原料WIP")), 0.0,
                                       r3(weight * 0.01), edtime});
                    if (!done)
                        workWip->add({ws, scno, gx, changhao, xingming, product, customer, q, weight, sttime,
                                      day(delOffset), QString()});
                }
            }
            // Work of the current department not yet given to a worker: at the issuing desk.
            if (!done && k >= 2 && k <= 5 && i % 2 == 0) {
                const double q = std::floor(pieces / 4) + 1;
                prochNew->add({scno, gx, QString(), QString(), day(-(i % 4), 14), nullDate, q,
                               r3(q * pieceWeight(d)), QString()});
            }
        }
        // Outside work and special work.
        if (i % 9 == 4 && stage >= 3) {
            const bool back = i % 2 == 1;
            const double q = std::floor(pieces / 3) + 1;
            proch->add({++prochId, scno, QStringLiteral("11-外发"), QStringLiteral("1101"),
                        QStringLiteral("外发厂 Outside"), day(-(i % 6) - 2, 10), back ? QVariant(day(-(i % 2))) : nullDate,
                        q, QStringLiteral("WS%1").arg(++sheet, 7, 10, QLatin1Char('0')),
                        QString::fromUtf8(kClerks[i % 3]), QString()});
        }
        if (i % 25 == 3 && stage < 8) {
            const int s = (i / 25) % 4;
            const double q = std::floor(pieces / 2) + 1;
            const QString ws = QStringLiteral("WS%1").arg(++sheet, 7, 10, QLatin1Char('0'));
            const QString code = QString::fromLatin1(splCodes[s]);
            proch->add({++prochId, scno, code, QStringLiteral("9901"), QString::fromUtf8(kWorkers[s]),
                        day(-1, 9), nullDate, q, ws, QString::fromUtf8(kClerks[0]), QStringLiteral("特别工序")});
            prochNew->add({scno, code, QStringLiteral("9901"), QString::fromUtf8(kWorkers[s]), day(-1, 9),
                           nullDate, q, r3(q * pieceWeight(d)), ws});
        }
        if (i % 15 == 2 && stage < 8) {
            for (int s = 0; s < 4; ++s) {
                const double wip = double((i + s * 3) % 9 + 1), hand = double((i + s) % 4);
                spl[s]->add({scno, wip, hand, wip + hand});
            }
        }
        if (i % 20 == 7) {
            wipFinish->add({scno, customer, pieces, r3(metalWeight)});
            wipIss->add({scno, customer, pieces, r3(metalWeight * 1.1)});
            wipReturn->add({scno, customer, 0.0, r3(metalWeight * 0.04)});
        }

        // Castings: one line per metal when casting is done.
        if (stage > 1) {
            for (const auto &[metal, q] : lineMetal) {
                const double wt = r3(q * pieceWeight(d) * 1.12);
                double purity = 0.75;
                for (const Metal &m : kMetals)
                    if (metal == QString::fromUtf8(m.code))
                        purity = m.purity;
                ++castindId;
                castind->add({castindId, QStringLiteral("CH%1").arg(30000 + i), scno, metal,
                              QStringLiteral("H%1").arg(castindId % 50), QStringLiteral("L%1").arg(800 + i % 40),
                              day(doneOffset(1)), wt, q, r3(wt * 0.02), r3(wt * purity * 1.02)});
            }
        }
        for (const auto &[metal, q] : lineMetal)
            cumind->add({scno, metal, r3(q * pieceWeight(d) * 1.1)});
        for (const StoneLine &s : stones)
            cumind->add({scno, s.stone, s.perPiece * pieces});

        // Stock transfers, as the work moved from stock to stock.
        auto transfer = [&](int offset, const QString &zt, const QString &from, const QString &to,
                            const QString &mcode, const QString &zmcode, double qty, double weight,
                            const QString &gonghao, const QString &name) {
            mattran->add({QStringLiteral("MT%1").arg(++note, 7, 10, QLatin1Char('0')), scno, day(offset), zt,
                          from, to, mcode, zmcode, QStringLiteral("H%1").arg(note % 30),
                          QStringLiteral("L%1").arg(800 + i % 40), lineMetal.first().first, qty, weight, qty,
                          weight, r3(weight * 0.01), r3(weight * 0.005), gonghao, name, customer, custOrder,
                          product, design, QString::fromUtf8(kClerks[i % 3]),
                          i % 6 == 0 ? QString::fromUtf8(kClerks[(i + 1) % 3]) : QString()});
        };
        const QString metal = lineMetal.first().first;
        const double wt = r3(metalWeight);
        if (stage >= 1) {
            transfer(doneOffset(0), QStringLiteral("FINISH"), QStringLiteral("21-蜡仓收发"),
                     QStringLiteral("01-金仓收发"), QStringLiteral("WAX-BLUE"), QStringLiteral("蜡模"),
                     pieces, r3(pieces * 0.4), QString(), QString());
        }
        if (stage >= 2) {
            const QString from = customer == QLatin1String("TIF") ? QStringLiteral("03-Tarvel金仓")
                                                                   : QStringLiteral("01-金仓收发");
            transfer(doneOffset(1), QStringLiteral("FINISH"), from, QStringLiteral("04-执模收发"), metal,
                     metal + QStringLiteral("原料WIP"), pieces, wt, QString(), QString());
            // Wire and solder to filing, and what came back.
            const Metal &ws = kWireSolder[i % std::size(kWireSolder)];
            const QString wsCode = QString::fromUtf8(ws.code);
            const QString wsKind = wsCode.contains(QStringLiteral("线")) ? QStringLiteral("线材原料WIP")
                                                                        : QStringLiteral("焊药原料WIP");
            transfer(doneOffset(1), QStringLiteral("FINISH"), QStringLiteral("01-金仓收发"),
                     QStringLiteral("04-执模收发"), wsCode, wsKind, 0, r3(2 + i % 7 * 0.35), QString(), QString());
            transfer(qMin(0, doneOffset(1) + 2), QStringLiteral("FINISH"), QStringLiteral("04-执模收发"),
                     QStringLiteral("01-金仓收发"), wsCode, wsKind, 0, r3(0.4 + i % 5 * 0.05), QString(), QString());
        }
        // Between the departments' desks, from filing on; the worker's part and scrap too.
        for (int k = 2; k < qMin(stage, kChainLength - 1); ++k) {
            const QString from = QString::fromUtf8(kChain[k].stock);
            const QString to = QString::fromUtf8(kChain[k + 1].stock);
            const QString zm = (i + k) % 5 == 4 ? QStringLiteral("半成品") : metal + QStringLiteral("原料WIP");
            transfer(doneOffset(k), QStringLiteral("FINISH"), from, to, metal, zm, pieces, r3(wt * 0.98),
                     QString(), QString());
            if (k <= 5) {   // the metal a worker held for the step, settled when it finished
                const QString worker = QString::fromLatin1(kChain[k].gongxu).left(2) + QStringLiteral("02");
                transfer(doneOffset(k), QStringLiteral("FINISH"), from, QStringLiteral("11-工人在做仓"), metal,
                         metal + QStringLiteral("原料WIP"), pieces, wt, worker,
                         QString::fromUtf8(kWorkers[(i + k) % std::size(kWorkers)]));
            }
            if ((i + k) % 3 == 0)
                transfer(doneOffset(k), QStringLiteral("FINISH"), from, QStringLiteral("09-废金仓"), metal,
                         metal + QStringLiteral("原料WIP"), 0, r3(wt * 0.01), QString(), QString());
        }
        if (stage >= 2 && stage <= 6) {
            const QString from = QString::fromUtf8(kChain[stage].stock);
            const QString worker = QString::fromLatin1(kChain[stage].gongxu).left(2) + QStringLiteral("01");
            transfer(-(i % 5), QStringLiteral("BEGIN"), from, QStringLiteral("11-工人在做仓"), metal,
                     metal + QStringLiteral("原料WIP"), pieces, wt, worker,
                     QString::fromUtf8(kWorkers[i % std::size(kWorkers)]));
        }
        if (i % 9 == 4 && stage >= 3)
            transfer(-(i % 6) - 2, QStringLiteral("FINISH"), QStringLiteral("04-执模收发"),
                     QStringLiteral("12-外工收发"), metal, metal + QStringLiteral("原料WIP"),
                     std::floor(pieces / 3) + 1, r3(wt / 3), QStringLiteral("1101"), QStringLiteral("外发厂 Outside"));
        // Stones into the stone store and out to setting.
        for (const StoneLine &s : stones) {
            if (s.stone == QLatin1String("INIST"))
                continue;
            const double need = s.perPiece * pieces;
            const double in = stage >= 3 ? need : (i % 3 == 0 ? 0 : std::floor(need * 0.6));
            if (in > 0)
                transfer(issOffset + 2, QStringLiteral("FINISH"), QStringLiteral("12-外工收发"),
                         QStringLiteral("02-石仓收发"), s.stone, QStringLiteral("石料"), in, r3(in * 0.01),
                         QString(), QString());
            const double out = stage > 3 ? need : stage == 3 ? std::floor(need / 2) : 0;
            if (out > 0)
                transfer(doneOffset(2), QStringLiteral("FINISH"), QStringLiteral("02-石仓收发"),
                         QStringLiteral("05-镶石收发"), s.stone, QStringLiteral("石料"), out, r3(out * 0.01),
                         QString(), QString());
        }
    }

    for (BatchInserter *b : {sconh.get(), scond.get(), process.get(), proch.get(), prochNew.get(), matuse.get(),
                             castind.get(), cumind.get(), mattran.get(), workReport.get(), flreturn.get(),
                             workWip.get(), stonein.get(), stissdate.get(), wipFinish.get(), wipIss.get(),
                             wipReturn.get(), spl[0].get(), spl[1].get(), spl[2].get(), spl[3].get()})
        if (!finish(*b))
            return false;
    return true;
}

bool DemoFactory::writeUsers()
{
    BatchInserter users(m_db, m_kind, QStringLiteral("users"), {"user_code", "user_name", "password_hash"});
    BatchInserter rights(m_db, m_kind, QStringLiteral("rights"), {"user_code", "module", "function", "rights"});
    // The demo passwords get the same slow hash as real ones; a process that fills
    // several demo databases (the tests) computes them once.
    static const QStringList hashes = [] {
        QStringList list;
        for (const DemoUser &u : demoUsers())
            list << PasswordHash::hash(u.password);
        return list;
    }();
    for (qsizetype i = 0; i < demoUsers().size(); ++i) {
        const DemoUser &u = demoUsers().at(i);
        users.add({u.code, u.name, hashes.at(i)});
        if (!u.rights.isEmpty())
            rights.add({u.code, QStringLiteral("M05"), QStringLiteral("H06"), u.rights});
    }
    return finish(users) && finish(rights);
}

bool DemoFactory::resyncSequences()
{
    if (m_kind != DbKind::PostgreSQL)
        return true;
    for (const TableDef &t : Schema::tables()) {
        const QString id = t.idColumn();
        if (id.isEmpty())
            continue;
        QSqlQuery q(m_db);
        const QString sql = QStringLiteral("select setval(pg_get_serial_sequence('%1', '%2'), "
                                           "coalesce((select max(%2) from %1), 0) + 1, false)")
                                .arg(t.name, id);
        if (!q.exec(sql)) {
            m_error = q.lastError().text();
            return false;
        }
    }
    return true;
}

} // namespace wip
