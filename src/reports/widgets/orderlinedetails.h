#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace wip {
class MultiLineEdit;
class Picture;
class SingleLineEdit;
class Transaction;
} // namespace wip

namespace wip::reports {

// What the order windows (w_scno_process, w_ordergress) show for the order line
// the user is on: its hallmark and remarks, read by embedded SQL with the line's
// scond_id bound, and the style picture of its design.
//
// The picture is "P:\" + design number + ".bmp" in the picture folder of the drive
// mapping; a design without a file there, with an empty file, or with a number
// that would reach outside the folder ("..", a separator) gets the default
// picture "ZAN.BMP" of the working folder. The file is read in counted chunks of
// at most 32 765 bytes, as the host's FileRead hands them out:
//
//     32 765 bytes -> 1 read, 32 766 -> 2 reads, 65 530 -> 2 reads
//
// When no file can be opened the picture control is hidden.
class OrderLineDetails
{
public:
    // Number of FileRead calls for a file of flen bytes.
    static int chunkCount(long long flen);

    // The bytes of the line's picture file (the design's or the default), read in
    // chunks; nullopt when neither file can be opened.
    static std::optional<QByteArray> readStylePicture(const QString &designNo);

    // hallmark and remarks of scond row scondId on tr ("" each when there is no row).
    struct Texts
    {
        QString hallmark;
        QString remarks;
    };
    static Texts readHallmarkAndRemarks(Transaction &tr, long long scondId);

    // Both of the above into the window's controls: texts into the edits, the
    // picture into the picture control (shown), or the control hidden. Returns
    // the bytes handed to the picture (nullopt when hidden).
    static std::optional<QByteArray> show(Transaction &tr, long long scondId, const QString &designNo,
                                          SingleLineEdit &hallmark, MultiLineEdit &remarks, Picture &picture);
};

} // namespace wip::reports
