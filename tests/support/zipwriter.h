#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

namespace wip::test {

// Writes a zip archive of the members given, in order, with python3's zipfile
// (deflated), for tests that need a workbook of parts written by hand. False
// with *error when python3 is missing or the archive cannot be written.
bool writeZip(const QString &path, const QList<QPair<QString, QByteArray>> &members, QString *error = nullptr);

} // namespace wip::test
