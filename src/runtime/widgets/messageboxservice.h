#pragma once

#include <QList>
#include <QString>

namespace wip {

enum class MessageIcon { None, Information, StopSign, Exclamation, Question };
enum class MessageButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// A message box as it was shown (recorded in scripted mode).
struct ShownMessage
{
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::OK;
    int answer = 0;
};

// Every MessageBox of the program goes through here. In the application it is a
// real modal box with the buttons in Chinese; in tests it is scripted: the
// answers are queued beforehand and every box shown is recorded. Buttons are
// numbered from 1 in their order: Yes of YesNo and OK of OKCancel are 1.
// A scripted box without a queued answer takes its default button.
class MessageBoxService
{
public:
    static int show(const QString &title, const QString &text, MessageIcon icon = MessageIcon::None,
                     MessageButtons buttons = MessageButtons::OK, int defaultButton = 1);

    static void setScripted(bool scripted);
    static bool isScripted();
    static void queueAnswer(int button);
    static int queuedAnswers();
    static QList<ShownMessage> shown();
    static void clear();                          // forgets shown boxes and queued answers

    static int buttonCount(MessageButtons buttons);
    static QStringList buttonTexts(MessageButtons buttons);
};

// The host's MessageBox: returns the number of the button chosen.
int MessageBox(const QString &title, const QString &text, MessageIcon icon = MessageIcon::None,
               MessageButtons buttons = MessageButtons::OK, int defaultButton = 1);

} // namespace wip
