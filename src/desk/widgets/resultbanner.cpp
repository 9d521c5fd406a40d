#include "desk/widgets/resultbanner.h"

#include "runtime/widgets/controlsupport.h"

#include <QApplication>
#include <QTimer>

namespace wip {

namespace {

// One beep for a scan done; three, a fifth of a second apart, for a refusal:
// the desktop's bell has one pitch, so the count tells them apart.
void beep(ResultBanner::State state)
{
    if (state == ResultBanner::State::Ready)
        return;
    QApplication::beep();
    if (state == ResultBanner::State::Refused) {
        QTimer::singleShot(200, qApp, [] { QApplication::beep(); });
        QTimer::singleShot(400, qApp, [] { QApplication::beep(); });
    }
}

ResultBanner::Sound &sound()
{
    static ResultBanner::Sound s = beep;
    return s;
}

// Dark text on a light ground for waiting, white on strong colours for results:
// readable at arm's length and apart at a glance.
QString styleOf(ResultBanner::State state)
{
    switch (state) {
    case ResultBanner::State::Done:
        return QStringLiteral("background: #1e7b34; color: white;");
    case ResultBanner::State::Refused:
        return QStringLiteral("background: #c0161c; color: white;");
    case ResultBanner::State::Ready:
        break;
    }
    return QStringLiteral("background: #e8e8e8; color: #303030;");
}

} // namespace

ResultBanner::ResultBanner(QWidget *parent, const QString &name)
    : QLabel(parent)
{
    ControlSupport::init(this, name);
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMargin(10);
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 2);
    big.setBold(true);
    setFont(big);
    // Two lines of the large text always fit: a long reason wraps, the layout stays still.
    setMinimumHeight(2 * fontMetrics().lineSpacing() + 2 * margin() + 4);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    display(State::Ready, QString());
}

void ResultBanner::setSound(Sound s)
{
    sound() = s ? std::move(s) : Sound(beep);
}

void ResultBanner::showReady(const QString &text)
{
    display(State::Ready, text);
}

void ResultBanner::showDone(const QString &text)
{
    display(State::Done, text);
    sound()(State::Done);
}

void ResultBanner::showRefused(const QString &text, bool withSound)
{
    display(State::Refused, text);
    if (withSound)
        sound()(State::Refused);
}

void ResultBanner::display(State state, const QString &text)
{
    m_state = state;
    setStyleSheet(QStringLiteral("QLabel { %1 border-radius: 4px; }").arg(styleOf(state)));
    setText(text);
}

} // namespace wip
