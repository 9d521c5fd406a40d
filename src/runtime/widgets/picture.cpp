#include "runtime/widgets/picture.h"

#include "runtime/widgets/controlsupport.h"

#include <QImage>
#include <QResizeEvent>

namespace wip {

Picture::Picture(QWidget *parent, const QString &name)
    : QLabel(parent)
{
    ControlSupport::init(this, name);
    setFrameShape(QFrame::Box);
    setAlignment(Qt::AlignCenter);
    setMinimumSize(8, 8);
}

int Picture::SetPicture(const QByteArray &bytes)
{
    QImage image;
    if (bytes.isEmpty() || !image.loadFromData(bytes)) {
        m_pixmap = QPixmap();
        clear();
        m_broken = true;
        QLabel::setVisible(false);
        return -1;
    }
    m_broken = false;
    m_pixmap = QPixmap::fromImage(image);
    rescale();
    return 1;
}

void Picture::setVisible(bool visible)
{
    QLabel::setVisible(visible && !m_broken);
}

void Picture::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    rescale();
}

void Picture::rescale()
{
    if (m_pixmap.isNull())
        return;
    const QSize area = contentsRect().size();
    if (area.isEmpty())
        setPixmap(m_pixmap);
    else
        setPixmap(m_pixmap.scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

} // namespace wip
