#pragma once

#include <QString>

namespace wip::test {

// Compares text with the golden file data/golden/<name> of the test's folder
// (WIP_TEST_DATA); on a difference *difference names the first differing line.
// With WIP_UPDATE_GOLDEN=1 the file is written instead.
bool matchesGolden(const QString &name, const QString &text, QString *difference);

} // namespace wip::test
