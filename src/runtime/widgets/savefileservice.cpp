#include "runtime/widgets/savefileservice.h"

#include <QFileDialog>
#include <QQueue>

namespace wip {

namespace {

struct SaveState
{
    bool scripted = false;
    QQueue<QString> answers;
    QList<AskedSave> asked;
};

SaveState &saveState()
{
    static SaveState s;
    return s;
}

} // namespace

QString SaveFileService::ask(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    SaveState &s = saveState();
    if (!s.scripted)
        return QFileDialog::getSaveFileName(parent, title, suggested, filter);
    s.asked.append(AskedSave{title, suggested, filter});
    return s.answers.isEmpty() ? QString() : s.answers.dequeue();
}

void SaveFileService::setScripted(bool scripted)
{
    saveState().scripted = scripted;
}

bool SaveFileService::isScripted()
{
    return saveState().scripted;
}

void SaveFileService::queueAnswer(const QString &path)
{
    saveState().answers.enqueue(path);
}

QList<AskedSave> SaveFileService::asked()
{
    return saveState().asked;
}

void SaveFileService::clear()
{
    saveState().answers.clear();
    saveState().asked.clear();
}

} // namespace wip
