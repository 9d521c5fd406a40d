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

SaveState &state()
{
    static SaveState s;
    return s;
}

} // namespace

QString SaveFileService::ask(QWidget *parent, const QString &title, const QString &suggested, const QString &filter)
{
    SaveState &s = state();
    if (!s.scripted)
        return QFileDialog::getSaveFileName(parent, title, suggested, filter);
    s.asked.append(AskedSave{title, suggested, filter});
    return s.answers.isEmpty() ? QString() : s.answers.dequeue();
}

void SaveFileService::setScripted(bool scripted)
{
    state().scripted = scripted;
}

bool SaveFileService::isScripted()
{
    return state().scripted;
}

void SaveFileService::queueAnswer(const QString &path)
{
    state().answers.enqueue(path);
}

QList<AskedSave> SaveFileService::asked()
{
    return state().asked;
}

void SaveFileService::clear()
{
    state().answers.clear();
    state().asked.clear();
}

} // namespace wip
