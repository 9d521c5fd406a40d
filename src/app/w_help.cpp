#include "app/w_help.h"

#include "app/windowcatalogue.h"
#include "runtime/widgets/commandbutton.h"
#include "runtime/widgets/dispatcher.h"

#include <QAbstractTextDocumentLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace wip {

namespace {

constexpr int kPictureWidth = 780;

} // namespace

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
    fitPictures(kPictureWidth);
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

void w_help::fitPictures(int width)
{
    QTextDocument *document = br_guide->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            QTextImageFormat picture = fragment.charFormat().toImageFormat();
            const QUrl url = QUrl(guideUrl()).resolved(QUrl(picture.name()));
            const QSize size = QImageReader(QLatin1Char(':') + url.path()).size();
            if (!size.isValid() || size.width() <= width)
                continue;
            picture.setWidth(width);
            picture.setHeight(qreal(size.height()) * width / size.width());
            QTextCursor cursor(document);
            cursor.setPosition(fragment.position());
            cursor.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            cursor.setCharFormat(picture);
        }
    }
}

bool w_help::showPartAbout(const QString &className)
{
    const WindowInfo *info = className.isEmpty() ? nullptr : WindowCatalogue::find(className);
    if (!info)
        return false;
    // The launcher's whole name first ("在做资料 (物料)"), then its plain part ("查找订单").
    QStringList names{info->caption};
    const QString plain = info->caption.section(QStringLiteral(" ("), 0, 0);
    if (plain != info->caption)
        names << plain;
    QTextDocument *document = br_guide->document();
    for (const QString &name : std::as_const(names)) {
        for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
            if (block.blockFormat().headingLevel() == 0 || !block.text().contains(name))
                continue;
            br_guide->setTextCursor(QTextCursor(block));
            const qreal top = document->documentLayout()->blockBoundingRect(block).top();
            br_guide->verticalScrollBar()->setValue(int(top));
            return true;
        }
    }
    return false;
}

} // namespace wip
