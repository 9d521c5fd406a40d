#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace wip {
class MultiLineEdit;
class Picture;
class SingleLineEdit;
} // namespace wip

namespace wip::reports {

class ReportControl;

// The contract-and-line choice that the two contract windows (w_scno_process,
// w_ordergress) share: the contract list dw_sconh, the order lines dw_scond of
// the contract the user is on, and the hallmark, remarks and style picture of the
// line the user is on (OrderLineDetails). It keeps the windows' variables m_scno,
// m_design_no, m_scond_id, m_sconh_currow, m_scond_currrow and count_dw2.
//
// The windows' rowfocuschanging handlers call it and then do their own part
// (w_scno_process shows the contract's progress record):
//
//     void w::dw_sconh_rowfocuschanging(int currentrow, int newrow)
//     {
//         if (selection.contractChanging(currentrow, newrow) == ContractLineSelection::Lines)
//             dw_scond_rowfocuschanging(0, 1);      // the first line is current after Retrieve
//     }
class ContractLineSelection
{
public:
    ContractLineSelection(ReportControl &sconh, ReportControl &scond, SingleLineEdit &hallmark,
                          MultiLineEdit &remarks, Picture &picture);

    enum Outcome {
        Ignored,   // no row to go to (newrow below 1, or beyond the list): nothing changed
        NoLines,   // the contract has no lines: line, hallmark, remarks and picture cleared
        Lines,     // the contract's lines are retrieved; the first one is current
    };
    // dw_sconh rowfocuschanging: moves the highlight, and for a row of the list
    // makes its contract current and retrieves the contract's lines.
    Outcome contractChanging(int currentrow, int newrow);
    // dw_scond rowfocuschanging: moves the highlight, and for a line of the list
    // makes it current and shows its hallmark, remarks and picture. False when
    // there is no such line (nothing changed).
    bool lineChanging(int currentrow, int newrow);
    // No contract (an empty contract list): its lines and the line's details cleared.
    void clear();

    QString scno() const { return m_scno; }
    QString designNo() const { return m_design_no; }
    long long scondId() const { return m_scond_id; }
    int sconhCurrentRow() const { return m_sconh_currow; }
    int scondCurrentRow() const { return m_scond_currrow; }
    int lineCount() const { return count_dw2; }
    // The bytes last handed to the picture (nullopt when it was hidden instead).
    const std::optional<QByteArray> &lastPictureBytes() const { return m_pictureBytes; }

private:
    void clearLine();

    ReportControl &dw_sconh;
    ReportControl &dw_scond;
    SingleLineEdit &sle_hallmark;
    MultiLineEdit &mle_remarks;
    Picture &p_stylepic;

    QString m_scno;
    QString m_design_no;
    long long m_scond_id = -1;
    int m_sconh_currow = 0;
    int m_scond_currrow = 0;
    int count_dw2 = 0;
    std::optional<QByteArray> m_pictureBytes;
};

} // namespace wip::reports
