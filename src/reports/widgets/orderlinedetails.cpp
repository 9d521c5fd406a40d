#include "reports/widgets/orderlinedetails.h"

#include "runtime/drivemapping.h"
#include "runtime/files.h"
#include "runtime/transaction.h"
#include "runtime/widgets/multilineedit.h"
#include "runtime/widgets/picture.h"
#include "runtime/widgets/singlelineedit.h"

namespace wip::reports {

namespace {

const QString kPictureFolder = QStringLiteral("P:\\");
const QString kDefaultPicture = QStringLiteral("ZAN.BMP");

// Reads flen bytes of an open stream-mode file in counted chunks, moving the
// position on by what each call returned.
QByteArray readChunks(int fnum, long long flen)
{
    const int loops = OrderLineDetails::chunkCount(flen);
    QByteArray tot_b;
    long long new_pos = 0;
    for (int i = 1; i <= loops; ++i) {
        QByteArray b;
        const int bytes_read = FileRead(fnum, b);
        if (bytes_read <= 0)   // end of file or a read error: nothing more to add
            break;
        tot_b += b;
        new_pos += bytes_read;
        FileSeek(fnum, new_pos, SeekFrom::Beginning);
    }
    return tot_b;
}

} // namespace

int OrderLineDetails::chunkCount(long long flen)
{
    if (flen <= kFileChunk)
        return 1;
    if (flen % kFileChunk == 0)
        return int(flen / kFileChunk);
    return int(flen / kFileChunk) + 1;
}

std::optional<QByteArray> OrderLineDetails::readStylePicture(const QString &designNo)
{
    // The design number comes from the database: it names a file inside the
    // picture folder and nothing else.
    const std::optional<QString> path =
        DriveMapping::instance().confinedResolve(kPictureFolder, designNo + QStringLiteral(".bmp"));
    long long flen = path ? FileLength(*path) : -1;
    int fnum = -1;
    if (flen > 0) {
        fnum = FileOpen(*path, FileMode::Stream);
    } else {
        flen = FileLength(kDefaultPicture);
        fnum = FileOpen(kDefaultPicture, FileMode::Stream);
    }
    if (fnum == -1)
        return std::nullopt;
    const QByteArray tot_b = readChunks(fnum, flen);
    FileClose(fnum);
    return tot_b;
}

OrderLineDetails::Texts OrderLineDetails::readHallmarkAndRemarks(Transaction &tr, long long scondId)
{
    Texts texts;
    const auto row =
        tr.selectInto(QStringLiteral("select hallmark , remarks from scond where scond_id = ? "), {scondId});
    if (row && row->size() >= 2) {
        texts.hallmark = row->at(0).toString();
        texts.remarks = row->at(1).toString();
    }
    return texts;
}

std::optional<QByteArray> OrderLineDetails::show(Transaction &tr, long long scondId, const QString &designNo,
                                                 SingleLineEdit &hallmark, MultiLineEdit &remarks,
                                                 Picture &picture)
{
    const Texts texts = readHallmarkAndRemarks(tr, scondId);
    hallmark.setText(texts.hallmark);
    remarks.setText(texts.remarks);

    const std::optional<QByteArray> bytes = readStylePicture(designNo);
    if (!bytes) {
        picture.setVisible(false);
        return std::nullopt;
    }
    picture.SetPicture(*bytes);
    picture.setVisible(true);
    return bytes;
}

} // namespace wip::reports
