// Writes the manual page wip(1) for the package: manpage OUTPUT writes the page
// made from the program's own help (ManualPage) to OUTPUT.

#include "app/apppaths.h"
#include "app/manualpage.h"
#include "runtime/outputfile.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    wip::AppPaths::setApplicationNames();
    if (argc != 2) {
        QTextStream(stderr) << "usage: manpage OUTPUT" << Qt::endl;
        return 2;
    }
    QString error;
    if (!wip::OutputFile::save(QString::fromLocal8Bit(argv[1]), wip::ManualPage::troff().toUtf8(), &error)) {
        QTextStream(stderr) << "manpage: " << error << Qt::endl;
        return 1;
    }
    return 0;
}
