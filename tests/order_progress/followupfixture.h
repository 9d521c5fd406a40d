#pragma once

// A small factory for the order follow-up, around the day D: hand-worked so that
// every meaning shows once - a contract without progress record, one spread over two
// departments, one whose pieces all passed plating, one with two records, late and
// on-time deliveries, '' and NULL invoice numbers, a customer number with a quote and
// a wildcard, and delivery and invoice times in the afternoon and at 23:59.
//
//  scno  cust   deldate (D = day 0)  invoice            record                       reason
//  KC01  QOR    D-2 15:30            NULL               none                          -
//  KC02  TIF    D   16:45            ''                 casting 3, setting 5 held     1
//  KC03  QOR    D-5 14:00            INV3 D-4 10:00     -                             -
//  KC04  QOR    D-3 09:00            INV4 D-3 17:00     -                             -
//  KC05  PAN    D+3 23:59            NULL               every piece passed plating    4
//  KC06  PAN    D+4 00:00            NULL               none                          -
//  KC07  TIF    D-11 12:00 (29 Feb)  NULL               filing 6 held; a second one   2 (9)
//  KC08  O'B%   D-1 08:00            NULL               setting 5 held                1
//  KC10  TIF    D+2                  INV10 D 18:30      -                             -
//  KC11  TIF    D-10                 INV11 D-6 23:00    -                             -
//  KC12  PAN    D                    INV12 D+1 00:00    -                             -
//  KC14  QOR    D+10                 INV14 D-5 00:00    -                             -
//  KC15  QOR    D-9                  NULL               empty record                  1
//  KC16  PAN    D-1 23:59            ''                 polishing 2 held              3
//  KC17  QOR    D-8                  NULL               record, no reason             -

#include "testdatabase.h"

#include <QDateTime>

namespace wip::test {

inline QDateTime followupStamp(const QDate &day, int offset, int hour = 0, int minute = 0)
{
    return QDateTime(day.addDays(offset), QTime(hour, minute));
}

// Fills db with the contracts above around day d; false (and db.error()) on failure.
inline bool fillFollowupFactory(TestDatabase &db, const QDate &d)
{
    struct Contract
    {
        const char *scno, *cust;
        QDateTime deldate;
        QVariant invNo;
        QVariant invdate;
    };
    const QVariant null;
    const QVariant noDate(QMetaType::fromType<QDateTime>());
    const Contract contracts[] = {
        {"KC01", "QOR", followupStamp(d, -2, 15, 30), null, noDate},
        {"KC02", "TIF", followupStamp(d, 0, 16, 45), QString(""), noDate},
        {"KC03", "QOR", followupStamp(d, -5, 14), "INV3", followupStamp(d, -4, 10)},
        {"KC04", "QOR", followupStamp(d, -3, 9), "INV4", followupStamp(d, -3, 17)},
        {"KC05", "PAN", followupStamp(d, 3, 23, 59), null, noDate},
        {"KC06", "PAN", followupStamp(d, 4), null, noDate},
        {"KC07", "TIF", followupStamp(d, -11, 12), null, noDate},
        {"KC08", "O'B%", followupStamp(d, -1, 8), null, noDate},
        {"KC10", "TIF", followupStamp(d, 2), "INV10", followupStamp(d, 0, 18, 30)},
        {"KC11", "TIF", followupStamp(d, -10), "INV11", followupStamp(d, -6, 23)},
        {"KC12", "PAN", followupStamp(d, 0), "INV12", followupStamp(d, 1)},
        {"KC14", "QOR", followupStamp(d, 10), "INV14", followupStamp(d, -5)},
        {"KC15", "QOR", followupStamp(d, -9), null, noDate},
        {"KC16", "PAN", followupStamp(d, -1, 23, 59), QString(""), noDate},
        {"KC17", "QOR", followupStamp(d, -8), null, noDate},
    };
    int id = 0;
    for (const Contract &c : contracts) {
        if (!db.insert("sconh", {{"sconh_id", ++id}, {"scno", c.scno}, {"cust_no", QString::fromUtf8(c.cust)},
                                 {"cust_order", QString(QStringLiteral("PO-") + QLatin1String(c.scno))},
                                 {"issdate", followupStamp(d, -40)}, {"deldate", c.deldate},
                                 {"inv_no", c.invNo}, {"invdate", c.invdate}, {"take", 0}}))
            return false;
    }

    using Values = TestDatabase::Values;
    const auto reason = [](const char *code, const char *text) -> Values {
        return {{"remark", QString::fromUtf8(code)}, {"bz", QString::fromUtf8(text)}};
    };
    struct Record
    {
        int id;
        const char *scno;
        Values values;
    };
    const Values allPassed = {{"wax_in", 4}, {"wax_out", 4}, {"casting_in", 4}, {"casting_out", 4},
                              {"filing_in", 4}, {"filing_out", 4}, {"setting_in", 4}, {"setting_out", 4},
                              {"finishing_in", 4}, {"finishing_out", 4}, {"polishing_in", 4},
                              {"polishing_out", 4}, {"rhodium_in", 4}, {"rhodium_out", 4}};
    const QList<Record> records = {
        {1, "KC02", Values{{"wax_in", 10}, {"wax_out", 10}, {"casting_in", 10}, {"casting_out", 7},
                           {"filing_in", 7}, {"filing_out", 7}, {"setting_in", 7}, {"setting_out", 2},
                           {"finishing_in", 2}, {"finishing_out", 2}, {"polishing_in", 2}, {"polishing_out", 2},
                           {"rhodium_in", 2}, {"rhodium_out", 2}, {"qc_in", 40}, {"qc_out", 10}}
                        + reason("1", "1-无石Stone delay")},
        {2, "KC05", allPassed + reason("4", "4-迟上金gold delay")},
        {3, "KC07", Values{{"wax_in", 6}, {"wax_out", 6}, {"casting_in", 6}, {"casting_out", 6}, {"filing_in", 6}}
                        + reason("2", "2-未齐石stone pending")},
        {4, "KC07", Values{{"rhodium_in", 6}} + reason("9", "9-车石完成")},
        {5, "KC08", Values{{"setting_in", 5}} + reason("1", "1-无石Stone delay")},
        {6, "KC15", reason("1", "1-无石Stone delay")},
        {7, "KC16", Values{{"polishing_in", 3}, {"polishing_out", 1}} + reason("3", "3-烂石stone broken")},
        {8, "KC17", reason("", "")},
    };
    for (const Record &r : records) {
        if (!db.insert("process", Values{{"process_id", r.id}, {"scno", QString::fromLatin1(r.scno)}} + r.values))
            return false;
    }
    return true;
}

} // namespace wip::test
