#include "platform/SystemColours.h"

#include <QGuiApplication>

SystemColours::SystemColours() : SystemColours(QGuiApplication::palette()) {}

SystemColours::SystemColours(const QPalette& palette)
    : m_shadow(FromColor(palette.color(QPalette::Active, QPalette::Dark))),
      m_face(FromColor(palette.color(QPalette::Active, QPalette::Button))),
      m_highlight(FromColor(palette.color(QPalette::Active, QPalette::Light))),
      m_text(FromColor(palette.color(QPalette::Active, QPalette::ButtonText))) {}

quint32 SystemColours::FromColor(const QColor& colour) {
    const QRgb rgb = colour.rgb();
    return static_cast<quint32>(qRed(rgb)) | static_cast<quint32>(qGreen(rgb)) << 8 |
           static_cast<quint32>(qBlue(rgb)) << 16;
}

QColor SystemColours::ToColor(quint32 colour) {
    return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                  static_cast<int>((colour >> 16) & 0xFFu));
}
