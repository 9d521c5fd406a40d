#pragma once

#include <QString>
#include <QStringList>

namespace wip::test {

// What a program (pdfinfo, pdftotext, python3) writes to standard output, run to
// its end (30 s at most); on failure "<program failed: its error output>", which
// makes a readable test failure.
QString programOutput(const QString &program, const QStringList &args);

// Pages of a PDF file by pdfinfo; -1 when it cannot tell.
int pdfPageCount(const QString &file);

// Every barcode an ordinary reader finds on the pages of a PDF printed at dpi
// (pdftoppm, then zbarimg on each page), as "<page> <symbology>:<text>" with
// pages from 1, sorted: "2 CODE-128:0401". On failure one line saying so.
QStringList pdfBarcodes(const QString &pdf, int dpi);

} // namespace wip::test
