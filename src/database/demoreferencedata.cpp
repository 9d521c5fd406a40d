#include "database/batchinserter.h"
#include "database/democatalogue.h"
#include "database/demofactory.h"
#include "database/factorycodes.h"
#include "database/lossschema.h"
#include "runtime/values.h"

// The demo factory's reference data: process and stock codes, materials,
// product types, setting methods and styles, customers and workers, the setting
// status and the material by origin. The contracts, steps and transfers that
// demofactory.cpp writes give only codes these tables hold.

namespace wip {

using namespace demo;

bool DemoFactory::writeReferenceData()
{
    return writeCodes() && writeMaterials() && writeArticles() && writeCustomers() && writeWorkers()
        && writeSettingStatus() && writeMaterialOrigins() && LossSchema::writeStartingAllowances(m_db, m_kind, &m_error)
        && writeRecoveries();
}

// The refinery's returns of the bench departments' sweepings and filings: last
// month's, and filing's 18KY of this month up to yesterday.
bool DemoFactory::writeRecoveries()
{
    BatchInserter recovery(m_db, m_kind, QStringLiteral("metal_recovery"),
                           {"recovery_key", "gongxu_code", "mcode", "period_start", "period_end", "grams", "entered_by",
                            "entered_at"});
    const auto add = [&](const char *process, const char *metal, const QDate &first, const QDate &last, double grams) {
        const QString key = QStringLiteral("%1/%2/%3/%4")
                                .arg(QString::fromUtf8(process), QString::fromUtf8(metal), values::dateText(first),
                                     values::dateText(last));
        recovery.add({key, QString::fromUtf8(process), QString::fromUtf8(metal), QDateTime(first, QTime(0, 0)),
                      QDateTime(last, QTime(0, 0)), r3(grams * m_scale), QStringLiteral("CLERK"),
                      QDateTime(last.addDays(1), QTime(7, 30))});
    };
    const QDate thisMonth(m_today.year(), m_today.month(), 1);
    const QDate lastMonth = thisMonth.addMonths(-1);
    const struct { const char *process; double gold; double platinum; } returns[] = {
        {"04-执模", 12.35, 3.21}, {"07-执边", 4.12, 0.95}, {"08-打磨", 6.785, 1.405}};
    for (const auto &r : returns) {
        add(r.process, "18KY", lastMonth, thisMonth.addDays(-1), r.gold);
        add(r.process, "PT950", lastMonth, thisMonth.addDays(-1), r.platinum);
    }
    if (m_today.day() > 1)
        add("04-执模", "18KY", thisMonth, m_today.addDays(-1), 0.5 * m_today.day());
    return finish(recovery);
}

// Process codes and stock codes, those the database lacks (a new database holds them).
bool DemoFactory::writeCodes()
{
    return FactoryCodes::write(m_db, m_kind, false, &m_error);
}

// Metals with their purity and hallmark, wire and solder, stones and wax.
bool DemoFactory::writeMaterials()
{
    BatchInserter material(m_db, m_kind, QStringLiteral("material"),
                           {"mcode", "mtype", "purate", "mname", "unit", "hallmark", "active"});
    const auto exact = [](const char *text) { return values::parseNumber(QString::fromLatin1(text))->toVariant(); };
    const QString grams = QStringLiteral("克 g");
    for (const Metal &m : kMetals)
        material.add({QString::fromUtf8(m.code), QString::fromUtf8(m.type), exact(m.purity), QString::fromUtf8(m.name),
                      grams, QString::fromUtf8(m.hallmark), 1});
    for (const Metal &m : kWireSolder)
        material.add({QString::fromUtf8(m.code), QString::fromUtf8(m.type), exact(m.purity), QString::fromUtf8(m.name),
                      grams, QString::fromUtf8(m.hallmark), 1});
    const QString pieces = QStringLiteral("粒 pcs");
    for (std::size_t s = 0; s < std::size(kStones); ++s)
        material.add({QString::fromUtf8(kStones[s]), QStringLiteral("STONE"), exact("1"),
                      QString::fromUtf8(kStoneNames[s]), pieces, QString(), 1});
    material.add({QStringLiteral("INIST"), QStringLiteral("STONE"), exact("0"), QStringLiteral("无石 (初始镶法) no stone"),
                  pieces, QString(), 1});
    material.add({QStringLiteral("WAX-BLUE"), QStringLiteral("WAX"), exact("0"), QStringLiteral("蓝蜡 blue wax"), grams,
                  QString(), 1});
    return finish(material);
}

// Product types, setting methods, and the articles with the stones they carry.
bool DemoFactory::writeArticles()
{
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
    return finish(article) && finish(artsd) && finish(stoneneed);
}

// Setting status by setting method, for this month and the last.
bool DemoFactory::writeSettingStatus()
{
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
    return finish(needStone);
}

// Material stock by origin: customer's, purchased, recycled.
bool DemoFactory::writeMaterialOrigins()
{
    BatchInserter wlly(m_db, m_kind, QStringLiteral("jcjl_wlly"), {"wlly", "mcode", "zmcode", "qtyref"});
    const char *const origins[] = {"客供Customer", "自购Purchase", "回收Recycle"};
    for (int o = 0; o < 3; ++o) {
        for (int m = 0; m < 4; ++m)
            wlly.add({QString::fromUtf8(origins[o]), QString::fromUtf8(kMetals[m].code),
                      QString(QString::fromUtf8(kMetals[m].code) + QStringLiteral("原料WIP")),
                      r3(150.0 + o * 40.5 + m * 12.25)});
    }
    return finish(wlly);
}

// The customers the contracts name, with who to call.
bool DemoFactory::writeCustomers()
{
    BatchInserter customer(m_db, m_kind, QStringLiteral("customer"), {"cust_no", "cust_name", "contact", "active"});
    for (const Customer &c : kCustomerList)
        customer.add({QString::fromUtf8(c.code), QString::fromUtf8(c.name), QString::fromUtf8(c.contact), 1});
    return finish(customer);
}

// Every worker number the steps and transfers give, with the worker's name and
// department: eight in each department of the chain, the outside workshop, one
// worker per kind of special work, and a retired filer.
bool DemoFactory::writeWorkers()
{
    BatchInserter worker(m_db, m_kind, QStringLiteral("worker"), {"changhao", "xingming", "gongxu_code", "active"});
    for (int k = 0; k < kChainLength; ++k) {
        for (int w = 0; w < kWorkersPerDepartment; ++w)
            worker.add({workerNumber(k, w), workerName(k, w), QString::fromUtf8(kChain[k].gongxu), 1});
    }
    worker.add({outsideWorker(), outsideName(), QStringLiteral("11-外发"), 1});
    for (int s = 0; s < int(std::size(kSpecialCodes)); ++s)
        worker.add({specialWorker(s), specialName(s), QString::fromUtf8(kSpecialCodes[s]), 1});
    worker.add({QString::fromUtf8(kRetiredWorker.code), QString::fromUtf8(kRetiredWorker.name),
                QStringLiteral("04-执模"), 0});
    return finish(worker);
}

} // namespace wip
