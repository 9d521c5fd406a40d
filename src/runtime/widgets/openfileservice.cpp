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

OpenState &openState()
{
    static OpenState s;
    return s;
}

} // namespace

QString OpenFileService::ask(QWidget *parent, const QString &title, const QString &folder, const QString &filter)
{
    OpenState &s = openState();
    if (!s.scripted)
        return QFileDialog::getOpenFileName(parent, title, folder, filter);
    s.asked.append(AskedOpen{title, folder, filter});
    return s.answers.isEmpty() ? QString() : s.answers.dequeue();
}

void OpenFileService::setScripted(bool scripted)
{
    openState().scripted = scripted;
}

bool OpenFileService::isScripted()
{
    return openState().scripted;
}

void OpenFileService::queueAnswer(const QString &path)
{
    openState().answers.enqueue(path);
}

QList<AskedOpen> OpenFileService::asked()
{
    return openState().asked;
}

void OpenFileService::clear()
{
    openState().answers.clear();
    openState().asked.clear();
}

} // namespace wip
