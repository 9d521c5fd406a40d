#pragma once

#include <QLabel>
#include <QPixmap>

namespace wip {

// A picture control with a border: p_stylepic. SetPicture takes the bytes of an
// image file (BMP, PNG, JPEG ...) and shows it scaled into the control, keeping
// its proportions. Bytes that are no image give -1: the old picture is dropped
// and the control is hidden, and it stays hidden (setVisible(true) included)
// until a picture is set, so a broken file never shows the previous design.
class Picture : public QLabel
{
    Q_OBJECT
public:
    Picture(QWidget *parent, const QString &name);

    int SetPicture(const QByteArray &bytes);     // 1, or -1 when the bytes are no image
    bool hasPicture() const { return !m_pixmap.isNull(); }
    QPixmap picture() const { return m_pixmap; }

    bool visible() const { return !isHidden(); }
    void setVisible(bool visible) override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void rescale();

    QPixmap m_pixmap;
    bool m_broken = false;
};

} // namespace wip
