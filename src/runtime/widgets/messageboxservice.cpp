#include "runtime/widgets/messageboxservice.h"

#include <QAbstractButton>
#include <QFontMetrics>
#include <QGridLayout>
#include <QList>
#include <QMessageBox>
#include <QQueue>
#include <QPushButton>
#include <QSpacerItem>
#include <QtDebug>

namespace wip {

namespace {

struct MessageState
{
    bool scripted = false;
    QQueue<int> answers;
    QList<ShownMessage> shown;
};

MessageState &messageState()
{
    static MessageState s;
    return s;
}

QMessageBox::Icon qtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::StopSign: return QMessageBox::Critical;
    case MessageIcon::Exclamation: return QMessageBox::Warning;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QList<QMessageBox::ButtonRole> roles(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::OK: return {QMessageBox::AcceptRole};
    case MessageButtons::OKCancel: return {QMessageBox::AcceptRole, QMessageBox::RejectRole};
    case MessageButtons::YesNo: return {QMessageBox::YesRole, QMessageBox::NoRole};
    case MessageButtons::YesNoCancel:
        return {QMessageBox::YesRole, QMessageBox::NoRole, QMessageBox::RejectRole};
    case MessageButtons::RetryCancel: return {QMessageBox::AcceptRole, QMessageBox::RejectRole};
    case MessageButtons::AbortRetryIgnore:
        // Action buttons keep the order they were added in: Abort, Retry, Ignore.
        return {QMessageBox::ActionRole, QMessageBox::ActionRole, QMessageBox::ActionRole};
    }
    return {QMessageBox::AcceptRole};
}

int showReal(const QString &title, const QString &text, MessageIcon icon, MessageButtons buttons,
             int defaultButton)
{
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    box.setIcon(qtIcon(icon));

    const QStringList texts = MessageBoxService::buttonTexts(buttons);
    const QList<QMessageBox::ButtonRole> buttonRoles = roles(buttons);
    QList<QAbstractButton *> added;
    for (int i = 0; i < texts.size(); ++i)
        added.append(box.addButton(texts.at(i), buttonRoles.at(i)));
    box.setDefaultButton(qobject_cast<QPushButton *>(added.at(qBound(1, defaultButton, int(added.size())) - 1)));
    // Esc: the last button of a box with a way out (Cancel, No), else the only one.
    box.setEscapeButton(added.last());

    // A title wider than the box would be cut off in the title bar: widen the box.
    const int titleWidth = qMin(QFontMetrics(box.font()).horizontalAdvance(title) + 100, 640);
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());

    box.exec();
    const int index = added.indexOf(box.clickedButton());
    return index >= 0 ? index + 1 : int(added.size());
}

} // namespace

int MessageBoxService::buttonCount(MessageButtons buttons)
{
    return int(roles(buttons).size());
}

QStringList MessageBoxService::buttonTexts(MessageButtons buttons)
{
    switch (buttons) {
    case MessageButtons::OK: return {QStringLiteral("确定")};
    case MessageButtons::OKCancel: return {QStringLiteral("确定"), QStringLiteral("取消")};
    case MessageButtons::YesNo: return {QStringLiteral("是(&Y)"), QStringLiteral("否(&N)")};
    case MessageButtons::YesNoCancel:
        return {QStringLiteral("是(&Y)"), QStringLiteral("否(&N)"), QStringLiteral("取消")};
    case MessageButtons::RetryCancel: return {QStringLiteral("重试(&R)"), QStringLiteral("取消")};
    case MessageButtons::AbortRetryIgnore:
        return {QStringLiteral("中止(&A)"), QStringLiteral("重试(&R)"), QStringLiteral("忽略(&I)")};
    }
    return {QStringLiteral("确定")};
}

int MessageBoxService::show(const QString &title, const QString &text, MessageIcon icon,
                            MessageButtons buttons, int defaultButton)
{
    MessageState &s = messageState();
    const int count = buttonCount(buttons);
    const int fallback = qBound(1, defaultButton, count);
    if (!s.scripted)
        return showReal(title, text, icon, buttons, fallback);

    int answer = fallback;
    if (!s.answers.isEmpty()) {
        answer = s.answers.dequeue();
        if (answer < 1 || answer > count) {
            qWarning("scripted message box \"%s\": answer %d is not one of its %d buttons; "
                     "taking button %d",
                     qPrintable(text), answer, count, fallback);
            answer = fallback;
        }
    }
    s.shown.append(ShownMessage{title, text, icon, buttons, answer});
    return answer;
}

void MessageBoxService::setScripted(bool scripted)
{
    messageState().scripted = scripted;
}

bool MessageBoxService::isScripted()
{
    return messageState().scripted;
}

void MessageBoxService::queueAnswer(int button)
{
    messageState().answers.enqueue(button);
}

int MessageBoxService::queuedAnswers()
{
    return int(messageState().answers.size());
}

QList<ShownMessage> MessageBoxService::shown()
{
    return messageState().shown;
}

void MessageBoxService::clear()
{
    messageState().answers.clear();
    messageState().shown.clear();
}

int MessageBox(const QString &title, const QString &text, MessageIcon icon, MessageButtons buttons,
               int defaultButton)
{
    return MessageBoxService::show(title, text, icon, buttons, defaultButton);
}

} // namespace wip
