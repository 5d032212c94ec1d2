#pragma once

#include "controls/DibSurface.h"
#include "controls/IconButton.h"
#include "controls/Shading.h"

class Random15;

// The icon button with a generated face: two 256-colour images built once by BuildShading, the normal one
// and a lighter one shown while the pointer is over the button (one pixel right and down while it is also
// pressed). Painting only copies the ready images; until BuildShading runs the face paints nothing.
class CShadeButton final : public CIconButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CShadeButton)

public:
    // The board's two buttons at the foot: scratches, 15 % lighter under the pointer, 36 % tinted.
    static constexpr Shading::ShadeOptions kBoardShading{Shading::Scratches, 20, 15, 36, 0xFF4060};

    explicit CShadeButton(QWidget* parent = nullptr);
    ~CShadeButton() override;

    // Rebuilds both images at the button's present size from the system's button colours of this moment,
    // drawing the texture from random. kind: a Shading::ShadeKind; noise and both percentages use their low
    // 8 bits, the percentages then capped at 100; tintColour is 0x00BBGGRR. The images keep this size and
    // these colours until the next call. A size outside 1..32767 pixels leaves both images empty.
    void BuildShading(unsigned kind, unsigned noise, unsigned hoverPercent, unsigned tintPercent,
                      quint32 tintColour, Random15& random);
    // The same, with the five values in one set (kBoardShading for the board's buttons).
    void BuildShading(const Shading::ShadeOptions& options, Random15& random);

    const CDibSurface& FaceNormal() const { return m_faceNormal; }
    const CDibSurface& FaceHover() const { return m_faceHover; }

protected:
    void DrawFace(QPainter& painter, const QRect& rect) override;
    // The icon button's frame, unchanged.
    void DrawFrame(QPainter& painter, const QRect& rect) override;

private:
    CDibSurface m_faceNormal;
    CDibSurface m_faceHover;
};
