#pragma once

#include <QList>
#include <QString>

namespace wip::reports {
class DataStore;
}

namespace wip {

// The delay reasons of d_delay_reasons as the Pareto chart reads them: the
// reasons given, largest first (ties in the report's order), each with the
// cumulative share of the given reasons in percent to one decimal, the last at
// 100; and apart from them the late contracts without a reason (未填原因), which
// take no place in the ranking. For the rows
//
//     1-无石 2, 2-未齐石 1, 3-烂石 1, 未填原因 2
//
// the ranking is 1-无石 2 (50 %), 2-未齐石 1 (75 %), 3-烂石 1 (100 %), and 2 apart.
class DelayPareto
{
public:
    struct Reason
    {
        QString reason;
        double count = 0;
        double cumulative = 0;     // percent of the given reasons, up to this one
    };

    // Reads the columns reason and count of the retrieved report.
    static DelayPareto fromReport(const reports::DataStore &rows);

    const QList<Reason> &given() const { return m_given; }
    double givenTotal() const { return m_givenTotal; }
    double withoutReason() const { return m_withoutReason; }
    bool isEmpty() const { return m_given.isEmpty() && m_withoutReason <= 0; }

    // The reason text of a late contract without one, as the report lists it.
    static QString noReasonText();

    // A reason as the chart's axis shows it: its Chinese words and its English
    // words on lines of their own ("1-无石Stone delay" -> "1-无石<br>Stone delay",
    // English of more than 10 characters on two lines; axis labels are rich text).
    static QString twoLines(const QString &reason);

private:
    QList<Reason> m_given;
    double m_givenTotal = 0;
    double m_withoutReason = 0;
};

} // namespace wip
