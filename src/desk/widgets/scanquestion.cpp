#include "desk/widgets/scanquestion.h"

#include "runtime/widgets/controlsupport.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QKeyEvent>

namespace wip {

namespace {

// A button of the question: clicked with the mouse or by its key, never focused
// (the scan field keeps the focus) and never the window's default (Enter is the
// scanner's).
QPushButton *answerButton(QWidget *parent, const QString &name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

} // namespace

ScanQuestion::ScanQuestion(QWidget *parent, const QString &name)
    : QFrame(parent)
{
    ControlSupport::init(this, name);
    setFrameShape(QFrame::StyledPanel);
    setStyleSheet(QStringLiteral("wip--ScanQuestion { background: #fff3c4; border: 2px solid #c98a00; }"));
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("st_question"));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setWordWrap(true);
    QFont large = m_text->font();
    large.setPointSizeF(large.pointSizeF() * 1.5);
    large.setBold(true);
    m_text->setFont(large);
    m_yes = answerButton(this, QStringLiteral("cb_yes"), QStringLiteral("是, 再记录 (F2)"));
    m_no = answerButton(this, QStringLiteral("cb_no"), QStringLiteral("否 (Esc)"));
    // No is what the question means when nothing else is said: shown as the strong choice.
    for (QPushButton *b : {m_yes, m_no}) {
        QFont f = b->font();
        f.setPointSizeF(f.pointSizeF() * 1.25);
        f.setBold(b == m_no);
        b->setFont(f);
        b->setMinimumHeight(2 * b->fontMetrics().height());
    }

    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("em_date"));
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_date->setFont(m_text->font());
    m_date->setVisible(false);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_text, 1);
    layout->addWidget(m_date);
    layout->addWidget(m_yes);
    layout->addWidget(m_no);

    connect(m_yes, &QPushButton::clicked, this, [this] { answer(true); });
    connect(m_no, &QPushButton::clicked, this, [this] { answer(false); });
    // Its keys reach the window from the scan field (which does not take them);
    // they are the question's while it is open, before the window's own Esc
    // (its cancel button).
    if (parent)
        parent->window()->installEventFilter(this);
    setVisible(false);
}

void ScanQuestion::ask(const QString &text, const QString &yes)
{
    m_text->setText(text);
    m_yes->setText(yes.isEmpty() ? QStringLiteral("是, 再记录 (F2)") : yes);
    m_open = true;
    m_date->setVisible(false);
    setVisible(true);
}

void ScanQuestion::askDate(const QString &text, const QString &yes, const QDate &day)
{
    ask(text, yes);
    m_date->setDate(day);
    m_date->setVisible(true);
    m_date->setFocus(Qt::OtherFocusReason);
}

QDate ScanQuestion::date() const
{
    return m_date->isVisibleTo(this) ? m_date->date() : QDate();
}

QString ScanQuestion::text() const
{
    return m_open ? m_text->text() : QString();
}

void ScanQuestion::answer(bool yes)
{
    if (!m_open)
        return;
    m_open = false;
    setVisible(false);
    Q_EMIT answered(yes);
    m_date->setVisible(false);
}

bool ScanQuestion::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_open || event->type() != QEvent::KeyPress || watched != window())
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    if (key->key() == Qt::Key_F2 || key->key() == Qt::Key_Escape) {
        answer(key->key() == Qt::Key_F2);
        return true;
    }
    return false;
}

QString ScanQuestion::refusal(const QString &code) const
{
    const QString what = code.isEmpty() ? QString() : QStringLiteral("袋卡 %1 没有记录。").arg(code);
    return QStringLiteral("请先回答问题 (是 F2 / 否 Esc)! %1回答后再扫描。").arg(what);
}

} // namespace wip
