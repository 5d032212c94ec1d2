#include "controls/ShadeButton.h"

#include "controls/Shading.h"
#include "platform/SystemColours.h"

CShadeButton::CShadeButton(QWidget* parent) : CIconButton(parent) {}

CShadeButton::~CShadeButton() = default;

void CShadeButton::BuildShading(unsigned kind, unsigned noise, unsigned hoverPercent, unsigned tintPercent,
                                quint32 tintColour, Random15& random) {
    BuildShading({kind, noise, hoverPercent, tintPercent, tintColour}, random);
}

void CShadeButton::BuildShading(const Shading::ShadeOptions& options, Random15& random) {
    const SystemColours system;
    const Shading::ButtonColours colours{system.ButtonShadow(), system.ButtonFace(),
                                         system.ButtonHighlight()};
    Shading::BuildShading(m_faceNormal, m_faceHover, width(), height(), colours, options, random);
    update();
}

void CShadeButton::DrawFace(QPainter& painter, const QRect&) {
    // The image always covers the whole button; pressed, its outer ring is left to the sunken frame. Focus
    // from the keyboard shows as the hover face.
    if (!m_hover && !m_keyboardFocus) {
        m_faceNormal.Draw(painter, 0, 0);
    } else if (!m_pressed) {
        m_faceHover.Draw(painter, 0, 0);
    } else {
        m_faceHover.Draw(painter, 1, 1);
    }
}

void CShadeButton::DrawFrame(QPainter& painter, const QRect& rect) {
    CIconButton::DrawFrame(painter, rect);
}
