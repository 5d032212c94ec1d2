// The window side of CDibSurface: Draw and the drawing object it keeps.
#include "controls/DibSurface.h"

#include <QImage>
#include <QList>
#include <QPainter>
#include <cstring>
#include <memory>

namespace {

// A QImage of the surface's size in the matching format. Surfaces with a colour table become 8-bit indexed
// images whose table is taken once, here; their 1- and 4-bit rows are widened to a byte per pixel at each
// draw. The rows are stored top-down in the image and bottom-up in the surface.
class ImageDrawing final : public DibDrawingObject {
public:
    static std::unique_ptr<ImageDrawing> Make(const CDibSurface& surface) {
        const QImage::Format format = FormatFor(surface.GetBitCount());
        if (format == QImage::Format_Invalid) {
            return nullptr;
        }
        QImage image(surface.GetWidth(), surface.GetHeight(), format);
        if (image.isNull()) {
            return nullptr;
        }
        if (const quint8* entry = surface.GetColourTable()) {
            QList<QRgb> table(surface.GetColourCount());
            for (QRgb& colour : table) {
                colour = qRgb(entry[2], entry[1], entry[0]);
                entry += 4;
            }
            image.setColorTable(table);
        }
        return std::unique_ptr<ImageDrawing>(new ImageDrawing(std::move(image)));
    }

    void Draw(const CDibSurface& surface, QPainter& painter, int x, int y) override {
        CopyPixels(surface);
        painter.drawImage(QPoint(x, y), m_image);
    }

private:
    explicit ImageDrawing(QImage image) : m_image(std::move(image)) {}

    static QImage::Format FormatFor(quint16 bitCount) {
        switch (bitCount) {
        case 1:
        case 4:
        case 8:
            return QImage::Format_Indexed8;
        case 16:
            return QImage::Format_RGB555;
        case 24:
            return QImage::Format_BGR888;
        case 32:
            return QImage::Format_RGB32;
        default:
            return QImage::Format_Invalid;
        }
    }

    void CopyPixels(const CDibSurface& surface) {
        const int width = m_image.width();
        const int height = m_image.height();
        const quint16 bitCount = surface.GetBitCount();
        const quint8* bits = surface.GetBits();
        for (int top = 0; top < height; ++top) {
            const quint8* from = bits + static_cast<std::size_t>(height - 1 - top) * surface.GetStride();
            uchar* to = m_image.scanLine(top);
            switch (bitCount) {
            case 1:
                for (int x = 0; x < width; ++x) {
                    to[x] = static_cast<uchar>((from[x / 8] >> (7 - (x & 7))) & 1);
                }
                break;
            case 4:
                for (int x = 0; x < width; ++x) {
                    to[x] = static_cast<uchar>((from[x / 2] >> ((x & 1) == 0 ? 4 : 0)) & 0x0F);
                }
                break;
            case 32:
                // The fourth byte of a 32-bit pixel is unused; the image wants it opaque.
                for (int x = 0; x < width; ++x) {
                    quint32 pixel = 0;
                    std::memcpy(&pixel, from + 4 * x, 4);
                    pixel |= 0xFF000000u;
                    std::memcpy(to + 4 * x, &pixel, 4);
                }
                break;
            default:
                std::memcpy(to, from, static_cast<std::size_t>(width) * bitCount / 8);
                break;
            }
        }
    }

    QImage m_image;
};

} // namespace

void CDibSurface::Draw(QPainter& painter, qint32 x, qint32 y) {
    if (!m_pImage) {
        return;
    }
    if (!m_pDrawing) {
        // Failing here draws nothing; the next draw tries again.
        m_pDrawing = ImageDrawing::Make(*this);
        if (!m_pDrawing) {
            return;
        }
    }
    m_pDrawing->Draw(*this, painter, x, y);
}
