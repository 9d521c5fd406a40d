#pragma once

#include <QLabel>

#include <functional>

namespace wip {

// The large line under a scan field that says what the last scan did: green
// when it was recorded, red with the reason when it was refused, grey while
// waiting. A sound marks each result (one short beep when done, three when
// refused), so that a clerk with eyes on the job bags hears a refusal. It is no
// dialog: nothing waits for an answer, and the next scan goes on at once.
//
//   banner->showDone("袋卡 KC1-1: 唧蜡 接收 +5");
//   banner->showRefused("未知的袋卡 KC9-1");
class ResultBanner : public QLabel
{
    Q_OBJECT
public:
    enum class State { Ready, Done, Refused };

    ResultBanner(QWidget *parent, const QString &name);

    void showReady(const QString &text);              // grey, silent
    void showDone(const QString &text);               // green, one beep
    void showRefused(const QString &text, bool withSound = true);   // red, three beeps
    State state() const { return m_state; }

    // What makes the sound of a result (QApplication::beep by default); tests
    // put a recorder here.
    using Sound = std::function<void(State)>;
    static void setSound(Sound sound);

private:
    void display(State state, const QString &text);

    State m_state = State::Ready;
};

} // namespace wip
