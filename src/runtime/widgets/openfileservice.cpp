#include "runtime/widgets/openfileservice.h"

#include <QFileDialog>
#include <QQueue>

namespace wip {

namespace {

struct OpenState
{
    bool scripted = false;
    QQueue<QString> answers;
    QList<AskedOpen> asked;
};

OpenState &state()
{
    static OpenState s;
    return s;
}

} // namespace

QString OpenFileService::ask(QWidget *parent, const QString &title, const QString &folder, const QString &filter)
{
    OpenState &s = state();
    if (!s.scripted)
        return QFileDialog::getOpenFileName(parent, title, folder, filter);
    s.asked.append(AskedOpen{title, folder, filter});
    return s.answers.isEmpty() ? QString() : s.answers.dequeue();
}

void OpenFileService::setScripted(bool scripted)
{
    state().scripted = scripted;
}

bool OpenFileService::isScripted()
{
    return state().scripted;
}

void OpenFileService::queueAnswer(const QString &path)
{
    state().answers.enqueue(path);
}

QList<AskedOpen> OpenFileService::asked()
{
    return state().asked;
}

void OpenFileService::clear()
{
    state().answers.clear();
    state().asked.clear();
}

} // namespace wip
