#pragma once

#include "runtime/olecell.h"

#include <QString>
#include <QVariant>

#include <unordered_map>

namespace wip {

// A worksheet of our spreadsheet server (see OleObject). Cells are kept in memory
// by row and column (from 1) and written as a workbook by saveas(). Owned by its
// OleObject; after quit() or DisconnectObject() every call throws
// HostError(ErrNullObject).
class OleWorksheet
{
public:
    OleWorksheet() = default;

    // The cell at row, column (from 1); throws HostError(ErrAutomation) outside the
    // sheet (1..1048576, 1..16384).
    OleCell cells(int row, int column);

    void setCell(int row, int column, const QVariant &value);
    QVariant cell(int row, int column) const;
    qsizetype cellCount() const;

    // Writes the workbook to the host path (mapped through DriveMapping), whole or
    // not at all (OutputFile). Throws HostError(ErrFileWrite, why) when the file
    // cannot be written (a missing or read-only folder, a full disk); a file that
    // was there is then kept as it was. Any name is written as an Open XML workbook, also one
    // ending in ".xls"; spreadsheet programs read it by its content.
    void saveas(const QString &path);
    // A workbook of a visible application is shown when it is saved: the desktop's
    // spreadsheet program opens the file (FileOpener), as the clerk saw it filled.
    void setShownWhenSaved(bool shown) { m_shown = shown; }

    bool isLive() const { return m_live; }
    void detach() { m_live = false; m_cells.clear(); }

private:
    void checkLive() const;
    static quint64 key(int row, int column) { return (quint64(quint32(row)) << 32) | quint32(column); }

    std::unordered_map<quint64, QVariant> m_cells;
    bool m_live = true;
    bool m_shown = false;
};

} // namespace wip
