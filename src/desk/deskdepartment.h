#pragma once

#include <QList>
#include <QString>

namespace wip {

// A department with a desk that receives, issues, takes back and passes on job
// bags, in production order: its caption, the process code its steps carry
// (proch.gongxu_code, day_wip.dep_c), the stock code its transfers name
// (jcjl_mattran.fcode/tcode), and the department of the progress record whose
// 转出 it applies (ScanDepartment; empty for shipping and outside work).
//
//   唧蜡 01-唧腊 21-蜡仓收发 → 倒模 03-倒模 01-金仓收发 → 执模 04-执模 04-执模收发
//   → 镶石 06-镶石 05-镶石收发 → 执边 07-执边 06-执边收发 → 打磨 08-打磨 07-打磨收发
//   → 电金 09-电金 08-电金收发 → 出货 20-出货 20-成品PRODUCT (the bag is finished)
//   外发 11-外发 12-外工收发: outside work, out from a desk and back to it
struct DeskDepartment
{
    QString caption;
    QString gongxu;
    QString stock;
    QString progress;   // the ScanDepartment caption of the progress record, or empty

    // The chain in production order, then outside work.
    static const QList<DeskDepartment> &all();
    // By caption ("执模") or process code ("04-执模"); nullptr when neither.
    static const DeskDepartment *find(const QString &name);
    static const DeskDepartment &first();      // 唧蜡, where bags enter from their line
    static const DeskDepartment &outside();    // 外发

    // The department a bag goes to from here; nullptr for shipping and outside work.
    const DeskDepartment *next() const;
    bool isFirst() const;
    bool isShipping() const;                   // 出货: receiving here finishes the bag
    bool isOutside() const;
    bool isCasting() const;                    // 倒模: casting batches (CastingDesk)
    bool isSetting() const;                    // 镶石: stones issued, set and broken (SettingStones)
    // "唧蜡, 倒模, ... 出货" for messages.
    static QString captions();
};

} // namespace wip
