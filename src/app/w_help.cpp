#include "app/w_help.h"

#include "app/windowcatalogue.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace wip {

w_help::w_help(QWidget *parent)
    : Window(parent)
{
    setWindowClassName(QStringLiteral("w_help"));
    setTitle(QStringLiteral("用户指南 User guide"));
    resize(860, 680);
}

QString w_help::guideUrl()
{
    return QStringLiteral("qrc:/guide/user-guide.md");
}

void w_help::create()
{
    br_guide = new QTextBrowser(this);
    br_guide->setObjectName(QStringLiteral("br_guide"));
    br_guide->setOpenExternalLinks(true);
    br_guide->setSource(QUrl(guideUrl()), QTextDocument::MarkdownResource);
    cb_close = new CommandButton(this, QStringLiteral("cb_close"), QStringLiteral("返回"));
    cb_close->setCancel(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(br_guide, 1);
    layout->addLayout(buttons);

    on(cb_close, &CommandButton::clicked, this, &w_help::cb_close_clicked);
}

void w_help::open()
{
    if (!showPartAbout(message().stringParm))
        br_guide->verticalScrollBar()->setValue(0);
    br_guide->setFocus();
}

void w_help::cb_close_clicked()
{
    Close();
}

bool w_help::showPartAbout(const QString &className)
{
    const WindowInfo *info = className.isEmpty() ? nullptr : WindowCatalogue::find(className);
    if (!info)
        return false;
    QTextDocument *document = br_guide->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0 || !block.text().contains(info->caption))
            continue;
        QTextCursor cursor(block);
        br_guide->setTextCursor(cursor);
        const qreal top = document->documentLayout()->blockBoundingRect(block).top();
        br_guide->verticalScrollBar()->setValue(int(top));
        return true;
    }
    return false;
}

} // namespace wip
