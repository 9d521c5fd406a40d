#include "runtime/widgets/interfacelanguage.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace wip {

bool loadQtTranslations()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    // "qt" is Qt's catalogue of catalogues: qtbase and the modules' own.
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace wip
