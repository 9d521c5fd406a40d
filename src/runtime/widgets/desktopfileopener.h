#pragma once

namespace wip {

// Makes FileOpener open files with the desktop's program for them
// (QDesktopServices). Without a display (the offscreen platform of tests and
// headless runs) nothing is started: the request is only recorded.
void installDesktopFileOpener();

} // namespace wip
