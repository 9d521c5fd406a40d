#pragma once

#include <QFont>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPair>
#include <QSizeF>
#include <QString>

#include <climits>

namespace wip::test {

// A page that records the size of every text painted on it, in points.
class TextSizeRecorder : public QPaintDevice
{
public:
    TextSizeRecorder(const QSizeF &mm, int dpi) : m_px((mm * dpi / 25.4).toSize()), m_dpi(dpi), m_engine(this) {}
    QPaintEngine *paintEngine() const override { return const_cast<Engine *>(&m_engine); }
    QList<QPair<QString, double>> texts;   // text, size in points

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth: return m_px.width();
        case PdmHeight: return m_px.height();
        case PdmWidthMM: return qRound(m_px.width() * 25.4 / m_dpi);
        case PdmHeightMM: return qRound(m_px.height() * 25.4 / m_dpi);
        case PdmDpiX: case PdmDpiY: case PdmPhysicalDpiX: case PdmPhysicalDpiY: return m_dpi;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return 0;
        }
    }

private:
    class Engine : public QPaintEngine
    {
    public:
        explicit Engine(TextSizeRecorder *device) : m_device(device) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        void drawImage(const QRectF &, const QImage &, const QRectF &, Qt::ImageConversionFlags) override {}
        void drawPath(const QPainterPath &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawRects(const QRectF *, int) override {}
        void drawLines(const QLineF *, int) override {}
        void drawTextItem(const QPointF &, const QTextItem &item) override
        {
            const double px = item.font().pixelSize() > 0 ? item.font().pixelSize()
                                                          : item.font().pointSizeF() * m_device->m_dpi / 72.0;
            m_device->texts.append({item.text(), px * 72.0 / m_device->m_dpi});
        }
        Type type() const override { return QPaintEngine::User; }

    private:
        TextSizeRecorder *m_device;
    };

    QSize m_px;
    int m_dpi;
    Engine m_engine;
};

} // namespace wip::test
