#include "contractfixture.h"
#include "desk/bagticket.h"
#include "contracts/bagticketpdf.h"
#include "contracts/barcode.h"
#include "programoutput.h"
#include "textsizerecorder.h"
#include "reports/displayformat.h"

#include <QDir>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace wip;
using wip::test::TestDatabase;
using wip::test::TextSizeRecorder;

// Bag tickets: one per contract line in line order, printed four to an A4 page
// or one per label, and the barcodes read back from the page images the way a
// scanner would read the paper.
class BagTicketsTest : public QObject
{
    Q_OBJECT

    // Every code an ordinary reader finds on the pages of pdf, rendered at dpi.
    static QStringList decode(const QString &pdf, int dpi, const QString &keep = QString())
    {
        QTemporaryDir dir;
        if (!keep.isEmpty())
            dir.setAutoRemove(false);
        QProcess render;
        render.start(QStringLiteral("pdftoppm"), {"-r", QString::number(dpi), "-gray", "-png", pdf,
                                                  dir.filePath("page")});
        if (!render.waitForFinished(60000) || render.exitCode() != 0)
            return {QStringLiteral("pdftoppm failed")};
        QStringList codes;
        const QStringList pages = QDir(dir.path()).entryList({"page*.png"}, QDir::Files, QDir::Name);
        for (const QString &page : pages) {
            QProcess scan;
            scan.start(QStringLiteral("zbarimg"), {"-q", dir.filePath(page)});
            scan.waitForFinished(60000);
            for (const QString &line : QString::fromUtf8(scan.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
                codes << QStringLiteral("%1 %2").arg(page, line.trimmed());
        }
        codes.sort();
        return codes;
    }

    // What decode() gives for tickets laid out perPage to a page: each code
    // once as Code 128 and once as QR code, on its page.
    static QStringList expected(const QStringList &codes, int perPage, int pageCount)
    {
        QStringList out;
        const int digits = QString::number(pageCount).size();
        for (int i = 0; i < codes.size(); ++i) {
            const QString page = QStringLiteral("page-%1.png").arg(i / perPage + 1, digits, 10, QLatin1Char('0'));
            out << page + " CODE-128:" + codes[i] << page + " QR-Code:" + codes[i];
        }
        out.sort();
        return out;
    }

private Q_SLOTS:
    void initTestCase()
    {
        for (const char *tool : {"pdftoppm", "zbarimg"})
            QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(),
                     "pdftoppm (poppler-utils) and zbarimg (zbar-tools) are needed: scripts/install-deps");
    }

    void parseCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("scno");
        QTest::addColumn<int>("position");
        QTest::newRow("plain") << "KC1001-3" << true << "KC1001" << 3;
        QTest::newRow("hyphen in contract") << "KC-2024-07-12" << true << "KC-2024-07" << 12;
        QTest::newRow("scanner blanks") << "  KC1-1 " << true << "KC1" << 1;
        QTest::newRow("no line") << "KC1001" << false << "" << 0;
        QTest::newRow("line 0") << "KC1001-0" << false << "" << 0;
        QTest::newRow("negative") << "KC1001--2" << false << "" << 0;
        QTest::newRow("plus sign") << "KC1001-+2" << false << "" << 0;
        QTest::newRow("letters") << "KC1001-A" << false << "" << 0;
        QTest::newRow("only line") << "-4" << false << "" << 0;
        QTest::newRow("empty") << "" << false << "" << 0;
    }

    void parseCode()
    {
        QFETCH(QString, code);
        QFETCH(bool, ok);
        QFETCH(QString, scno);
        QFETCH(int, position);
        QString gotScno;
        int gotPosition = 0;
        QCOMPARE(BagTicket::parseCode(code, &gotScno, &gotPosition), ok);
        if (ok) {
            QCOMPARE(gotScno, scno);
            QCOMPARE(gotPosition, position);
            QCOMPARE(BagTicket::codeFor(gotScno, gotPosition), code.trimmed());
        }
    }

    void labelSize_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QSizeF>("size");   // empty: refused
        QTest::newRow("x") << "100x70" << QSizeF(100, 70);
        QTest::newRow("X and blanks") << " 62.5 X 40 " << QSizeF(62.5, 40);
        QTest::newRow("star") << "80*50" << QSizeF(80, 50);
        QTest::newRow("too narrow") << "30x70" << QSizeF();
        QTest::newRow("too low") << "100x20" << QSizeF();
        QTest::newRow("the smallest") << "50x30" << QSizeF(50, 30);
        QTest::newRow("narrower") << "45x30" << QSizeF();
        QTest::newRow("lower") << "50x29.5" << QSizeF();
        QTest::newRow("one number") << "100" << QSizeF();
        QTest::newRow("inches") << "4inx3in" << QSizeF();
    }

    void labelSize()
    {
        QFETCH(QString, text);
        QFETCH(QSizeF, size);
        QSizeF mm;
        QString error;
        QCOMPARE(BagTicketPdf::parseLabelSize(text, &mm, &error), !size.isEmpty());
        if (!size.isEmpty())
            QCOMPARE(mm, size);
        else
            QVERIFY(error.contains("--label") || error.contains("too small"));
    }

    // Lines in scond_id order whatever order they were typed in; a contract
    // that is not there is named, the others still read.
    void readsLinesInOrder_data() { wip::test::addEngineRows(); }
    void readsLinesInOrder()
    {
        WIP_TEST_DATABASE(db);
        QVERIFY(wip::test::addContract(db, "KC-7", "PO/2026/LONG-CUSTOMER-ORDER-000123456", "C77"));
        for (const char *metal : {"18KW", "PT950", "9KR"})
            QVERIFY(db.insert("scond", {{"scno", "KC-7"}, {"design_no", QString(QString("D-") + metal)},
                                        {"metal", QString::fromLatin1(metal)}, {"quantity", 12}, {"metal_netwt", 3.25}}));
        QList<BagTicket> tickets;
        QStringList missing;
        QString error;
        QVERIFY2(BagTicket::read(db.tr(), {"KC-7", "KC-NONE"}, &tickets, &missing, &error), qPrintable(error));
        QCOMPARE(missing, QStringList{"KC-NONE"});
        QCOMPARE(tickets.size(), 3);
        QStringList seen;
        for (const BagTicket &t : tickets)
            seen << QStringLiteral("%1 %2 %3 %4 %5 %6").arg(t.code, t.metal, t.custOrder, t.delivery.toString(Qt::ISODate),
                                                         reports::generalText(t.quantity), reports::generalText(t.metalNetwt));
        QCOMPARE(seen, (QStringList{"KC-7-1 18KW PO/2026/LONG-CUSTOMER-ORDER-000123456 2004-06-01 12 3.25",
                                    "KC-7-2 PT950 PO/2026/LONG-CUSTOMER-ORDER-000123456 2004-06-01 12 3.25",
                                    "KC-7-3 9KR PO/2026/LONG-CUSTOMER-ORDER-000123456 2004-06-01 12 3.25"}));
        BagTicket found;
        QCOMPARE(BagTicket::find(db.tr(), " KC-7-2 ", &found, &error), BagTicket::Lookup::Found);
        QCOMPARE(found.scondId, tickets[1].scondId);
        QCOMPARE(BagTicket::find(db.tr(), "KC-7-4", &found, &error), BagTicket::Lookup::NoLine);
        QCOMPARE(BagTicket::find(db.tr(), "KC-8-1", &found, &error), BagTicket::Lookup::NoContract);
    }

    // A symbol painted into a box fills it but for the quiet zone a reader needs
    // beside it (Code 128: ten modules at either end; QR: four all round), so a
    // ticket cut along its edge still scans.
    void quietZoneIsLeftWhite_data()
    {
        QTest::addColumn<bool>("qr");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QSize>("box");
        QTest::newRow("Code 128 wide") << false << "KC2026-0815-1" << QSize(1200, 120);
        QTest::newRow("Code 128 short code") << false << "K-1" << QSize(400, 60);
        QTest::newRow("QR upright box") << true << "KC2026-0815-12" << QSize(300, 500);
        QTest::newRow("QR wide box") << true << "KC1-1" << QSize(700, 290);
    }

    void quietZoneIsLeftWhite()
    {
        QFETCH(bool, qr);
        QFETCH(QString, code);
        QFETCH(QSize, box);
        const Barcode symbol(qr ? Barcode::Kind::QrCode : Barcode::Kind::Code128, code);
        QVERIFY2(symbol.isValid(), qPrintable(symbol.error()));
        QImage image(box, QImage::Format_Grayscale8);
        image.fill(Qt::white);
        {
            QPainter p(&image);
            symbol.paint(p, QRectF(QPointF(0, 0), QSizeF(box)));
        }
        QRect dark;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 128)
                    dark |= QRect(x, y, 1, 1);
        // One module in pixels, from the symbol's width in modules and the box.
        const double modules = symbol.size().width() / symbol.moduleWidth();
        const double quiet = symbol.quietZoneModules();
        const double side = qr ? qMin(box.width(), box.height()) : box.width();
        const double module = side / (modules + 2 * quiet);
        QVERIFY2(module >= 2, "the box is too small to measure the zone");
        const QRect symbolBox(QPoint(0, 0), box);
        const QRectF expected = qr ? QRectF(QPointF(box.width() - modules * module, box.height() - modules * module) / 2,
                                            QSizeF(modules * module, modules * module))
                                   : QRectF(quiet * module, 0, modules * module, box.height());
        QVERIFY(symbolBox.contains(dark));
        QVERIFY2(qAbs(dark.left() - expected.left()) <= 1 && qAbs(dark.right() + 1 - expected.right()) <= 1
                     && qAbs(dark.top() - expected.top()) <= 1 && qAbs(dark.bottom() + 1 - expected.bottom()) <= 1,
                 qPrintable(QStringLiteral("bars at %1,%2 to %3,%4; expected %5,%6 to %7,%8")
                                .arg(dark.left()).arg(dark.top()).arg(dark.right() + 1).arg(dark.bottom() + 1)
                                .arg(expected.left()).arg(expected.top()).arg(expected.right()).arg(expected.bottom())));
    }

    // Every text of a ticket is at least 6 pt, the fields larger on a larger
    // label; what does not fit at 6 pt is left out, never printed smaller.
    void textIsReadableOnEveryLabel()
    {
        BagTicket t;
        t.scno = "KC2026-0815";
        t.lineNo = 2;
        t.code = BagTicket::codeFor(t.scno, t.lineNo);
        t.custNo = "QOR";
        t.custOrder = "PO-LONG-CUSTOMER-ORDER-NUMBER-THAT-DOES-NOT-FIT-0001";
        t.designNo = "R1234";
        t.articleCode = "R2401";
        t.metal = "14KY";
        t.size = "7";
        t.quantity = 250;
        t.metalNetwt = 512.375;
        t.hallmark = "585 QOR";
        t.delivery = QDate(2026, 12, 31);
        const int dpi = 600;
        auto sizes = [&](const QSizeF &mm) {
            TextSizeRecorder page(mm, dpi);
            QPainter p(&page);
            BagTicketPdf::paintTicket(p, QRectF(0, 0, page.width(), page.height()), dpi / 25.4, t);
            p.end();
            return page.texts;
        };
        auto fieldSize = [](const QList<QPair<QString, double>> &texts) {
            for (const auto &[text, pt] : texts)
                if (text.startsWith(QStringLiteral("款号")))
                    return pt;
            return 0.0;
        };
        double previous = 0;
        for (const QSizeF &mm : {QSizeF(50, 30), QSizeF(100, 60), QSizeF(105, 148.5)}) {
            const auto texts = sizes(mm);
            QVERIFY(!texts.isEmpty());
            for (const auto &[text, pt] : texts)
                QVERIFY2(pt >= 6 - 0.01, qPrintable(QStringLiteral("%1 x %2 mm: \"%3\" at %4 pt")
                                                        .arg(mm.width()).arg(mm.height()).arg(text).arg(pt)));
            const double field = fieldSize(texts);
            QVERIFY2(field > previous, qPrintable(QStringLiteral("%1 x %2 mm: fields at %3 pt, %4 pt on the smaller")
                                                      .arg(mm.width()).arg(mm.height()).arg(field).arg(previous)));
            previous = field;
        }
        QVERIFY(previous >= 9);   // a quarter of A4 reads from arm's length
    }

    // Five tickets: two A4 pages (four and one), or five labels; every code
    // reads back from the page it is printed on, as bars and as QR code.
    void barcodesDecode_data()
    {
        QTest::addColumn<QSizeF>("label");
        QTest::addColumn<int>("perPage");
        QTest::addColumn<int>("dpi");
        QTest::addColumn<QStringList>("printed");   // field captions on the first page
        QTest::addColumn<QStringList>("leftOut");
        const QStringList all{"合约", "客户订单", "款号", "货号", "成色", "尺寸", "数量", "净重", "字印", "交货"};
        QTest::newRow("A4, four a page") << QSizeF() << 4 << 150 << all << QStringList();
        QTest::newRow("label 100 x 70 mm") << QSizeF(100, 70) << 1 << 200 << all << QStringList();
        // Small: the fields that fit at a readable size, the most needed.
        QTest::newRow("label 50 x 30 mm") << QSizeF(50, 30) << 1 << 300 << QStringList{"款号", "成色", "数量"}
                                          << QStringList{"合约", "货号", "字印", "客户订单", "尺寸"};
    }

    void barcodesDecode()
    {
        QFETCH(QSizeF, label);
        QFETCH(int, perPage);
        QFETCH(int, dpi);
        QFETCH(QStringList, printed);
        QFETCH(QStringList, leftOut);
        QList<BagTicket> tickets;
        QStringList codes;
        for (int i = 1; i <= 5; ++i) {
            BagTicket t;
            t.scno = i < 4 ? "KC2026-0815" : "KC99";
            t.lineNo = i < 4 ? i : i - 3;
            t.code = BagTicket::codeFor(t.scno, t.lineNo);
            t.custOrder = "PO-LONG-CUSTOMER-ORDER-NUMBER-THAT-DOES-NOT-FIT-0001";
            t.designNo = "R1234";
            t.metal = "18KW";
            t.quantity = 250;
            t.metalNetwt = 512.5;
            t.hallmark = "750 双印 Hallmark";
            tickets << t;
            codes << t.code;
        }
        QTemporaryDir dir;
        const QString pdf = dir.filePath("tickets.pdf");
        QString error;
        QVERIFY2(BagTicketPdf::write(tickets, pdf, label, &error), qPrintable(error));
        const int pages = (tickets.size() + perPage - 1) / perPage;
        QCOMPARE(decode(pdf, dpi, qEnvironmentVariable("WIP_KEEP_TICKETS")), expected(codes, perPage, pages));
        // Every text whole: the ticket code beneath the QR code too, however long.
        const QString text = wip::test::programOutput("pdftotext", {"-f", "1", "-l", "1", pdf, "-"});
        // Title, beneath the bars and beneath the QR code, where that is wide
        // enough for the code at 6 pt (not on a 50 x 30 mm label).
        QCOMPARE(text.count(codes.first()), !label.isEmpty() && label.width() < 60 ? 2 : 3);
        for (const QString &caption : printed)
            QVERIFY2(text.contains(caption), qPrintable(caption + " missing in:\n" + text));
        for (const QString &caption : leftOut)
            QVERIFY2(!text.contains(caption), qPrintable(caption + " printed in:\n" + text));
        // The net weight to the milligram, with its unit.
        if (printed.contains(QStringLiteral("净重")))
            QVERIFY2(text.contains(QStringLiteral("512.500 g")), qPrintable(text));
    }
};

QTEST_MAIN(BagTicketsTest)
#include "tst_bagtickets.moc"
