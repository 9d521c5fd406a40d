#pragma once

namespace wip {

// The interface of Wip is Simplified Chinese: Qt's own dialogs (print, page setup,
// file, colour) are made to speak it too, from Qt's translations
// (Debian's qt6-translations-l10n). False when the translations are not installed;
// the dialogs then stay in English.
bool loadQtTranslations();

} // namespace wip
