#include "runtime/widgets/taborder.h"

#include <QBoxLayout>
#include <QFormLayout>
#include <QGridLayout>
#include <QLayout>
#include <QSet>
#include <QSplitter>
#include <QWidget>

#include <algorithm>

namespace wip {

namespace {

bool isControl(const QWidget *w)
{
    return (w->focusPolicy() & Qt::TabFocus) || w->focusProxy();
}

// The items of a layout in the order they are seen.
QList<QLayoutItem *> visualItems(QLayout *layout)
{
    struct Placed
    {
        int row;
        int column;
        QLayoutItem *item;
    };
    QList<Placed> placed;
    for (int i = 0; i < layout->count(); ++i) {
        int row = i;
        int column = 0;
        if (auto *grid = qobject_cast<QGridLayout *>(layout)) {
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        } else if (auto *form = qobject_cast<QFormLayout *>(layout)) {
            QFormLayout::ItemRole role = QFormLayout::LabelRole;
            form->getItemPosition(i, &row, &role);
            column = int(role);
        }
        placed.append({row, column, layout->itemAt(i)});
    }
    std::stable_sort(placed.begin(), placed.end(), [](const Placed &a, const Placed &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    QList<QLayoutItem *> items;
    for (const Placed &p : placed)
        items.append(p.item);
    if (auto *box = qobject_cast<QBoxLayout *>(layout)) {
        if (box->direction() == QBoxLayout::RightToLeft || box->direction() == QBoxLayout::BottomToTop)
            std::reverse(items.begin(), items.end());
    }
    return items;
}

class Reader
{
public:
    void readWidget(QWidget *w)
    {
        if (m_seen.contains(w))
            return;
        m_seen.insert(w);
        if (isControl(w)) {
            m_order.append(w);
            return;
        }
        if (auto *splitter = qobject_cast<QSplitter *>(w)) {
            for (int i = 0; i < splitter->count(); ++i)
                readWidget(splitter->widget(i));
        } else if (w->layout()) {
            readLayout(w->layout());
        }
        readUnplaced(w);
    }

    void readLayout(QLayout *layout)
    {
        for (QLayoutItem *item : visualItems(layout)) {
            if (QWidget *w = item->widget())
                readWidget(w);
            else if (QLayout *inner = item->layout())
                readLayout(inner);
        }
    }

    // Children of w that no layout placed, top to bottom, left to right.
    void readUnplaced(QWidget *w)
    {
        QList<QWidget *> rest;
        for (QObject *child : w->children()) {
            auto *cw = qobject_cast<QWidget *>(child);
            if (cw && !cw->isWindow() && !m_seen.contains(cw))
                rest.append(cw);
        }
        std::stable_sort(rest.begin(), rest.end(), [](const QWidget *a, const QWidget *b) {
            const QPoint pa = a->pos();
            const QPoint pb = b->pos();
            return pa.y() != pb.y() ? pa.y() < pb.y() : pa.x() < pb.x();
        });
        for (QWidget *cw : rest)
            readWidget(cw);
    }

    QList<QWidget *> order() const { return m_order; }

private:
    QSet<QWidget *> m_seen;
    QList<QWidget *> m_order;
};

} // namespace

QList<QWidget *> TabOrder::readingOrder(QWidget *window)
{
    Reader reader;
    if (window->layout())
        reader.readLayout(window->layout());
    reader.readUnplaced(window);
    return reader.order();
}

void TabOrder::applyReadingOrder(QWidget *window)
{
    const QList<QWidget *> order = readingOrder(window);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
    // The chain is a ring; where the window itself sits in it decides what has
    // the focus when it opens. It opens at the first control it reads, unless
    // the focus was put somewhere already.
    if (window->focusWidget())
        return;
    for (QWidget *w : order) {
        if (!w->isHidden() && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
}

} // namespace wip
