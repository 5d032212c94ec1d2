#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

// The window system's button colours as 0x00BBGGRR values (red in the lowest byte), read from a palette:
// by default the application's palette at the moment of construction. The button shadow is the palette's
// Dark role, the face Button, the highlight Light and the text ButtonText, as the platform themes fill them.
class SystemColours final {
public:
    SystemColours();
    explicit SystemColours(const QPalette& palette);

    static quint32 FromColor(const QColor& colour);
    static QColor ToColor(quint32 colour);

    quint32 ButtonShadow() const { return m_shadow; }
    quint32 ButtonFace() const { return m_face; }
    quint32 ButtonHighlight() const { return m_highlight; }
    quint32 ButtonText() const { return m_text; }

private:
    quint32 m_shadow = 0;
    quint32 m_face = 0;
    quint32 m_highlight = 0;
    quint32 m_text = 0;
};
