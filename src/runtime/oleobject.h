#pragma once

#include "runtime/oleworksheet.h"

#include <QString>

#include <memory>

namespace wip {

// The automation object of the windows, with a spreadsheet server of our own
// standing in for "Excel.Application": ConnectToNewObject, workbooks.add, visible,
// worksheets(1), quit, DisconnectObject. The workbook is kept in memory and
// written by the worksheet's saveas(). Calls before a successful connect, or after
// quit() or DisconnectObject(), throw HostError(ErrNullObject), which ends the
// handler as any failed host call does.
//
//   OleObject ole_object;
//   if (ole_object.ConnectToNewObject("Excel.Application") != 0) ... "OLE无法连接!"
//   ole_object.workbooksAdd();
//   OleWorksheet *sheet = ole_object.worksheets(1);
//   sheet->cells(1, 1).setValue(...);
//   sheet->saveas("d:\\LAsb.xls");
//   ole_object.quit();
//   ole_object.DisconnectObject();
class OleObject
{
public:
    OleObject();
    ~OleObject();
    OleObject(const OleObject &) = delete;
    OleObject &operator=(const OleObject &) = delete;

    // 0 for "Excel.Application" (any case), -1 for a server we do not have.
    int ConnectToNewObject(const QString &server);
    // 0; the object is released (its worksheet too).
    int DisconnectObject();
    bool isConnected() const;

    void workbooksAdd();                 // workbooks.add: a new workbook of one worksheet
    // The server has no window: a visible application shows its workbook when it
    // is saved, with the desktop's program for the file.
    void setVisible(bool visible);
    bool visible() const;
    // worksheets(n) of the current workbook; only n = 1 exists. Throws
    // HostError(ErrAutomation) without a workbook or for another n. The pointer stays
    // valid while this object lives.
    OleWorksheet *worksheets(int n);
    void quit();

private:
    enum class State { Unconnected, Connected, Quit };
    void checkUsable() const;
    void detachSheets();

    State m_state = State::Unconnected;
    bool m_visible = false;
    OleWorksheet *m_current = nullptr;
    std::vector<std::unique_ptr<OleWorksheet>> m_sheets;   // every sheet handed out
};

} // namespace wip
