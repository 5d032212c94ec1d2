#pragma once

#include "controls/DibSurface.h"
#include "platform/Random15.h"

#include <QtGlobal>

// The generated faces of the shaded button: a 256-entry colour table running from the button shadow colour
// through the face colour to the highlight colour, tinted, and pixels of one of nine textures drawn from a
// Random15 sequence. Pure memory work on CDibSurface; the same generator state always gives the same faces.
//
// Arithmetic is integer, truncating toward zero, and every stored pixel keeps the low 8 bits of its value.
// Sizes the texture formulas cannot take (a side below 1 or above 32767, where they would divide by zero)
// build nothing and draw nothing from the generator; the faces are left empty and paint nothing.
namespace Shading {

// The kind argument; every value outside 1..8 means NoiseOnly.
enum ShadeKind : unsigned {
    NoiseOnly = 0,
    DiagonalRamp = 1,
    VerticalRamp = 2,
    HorizontalRamp = 3,
    VerticalCurve = 4,
    HorizontalCurve = 5,
    CornerCurve = 6,
    BandedCurve = 7,
    Scratches = 8,
};

constexpr int kMaxSide = 32767;

// The system's button colours, each 0x00BBGGRR.
struct ButtonColours {
    quint32 m_shadow = 0;
    quint32 m_face = 0;
    quint32 m_highlight = 0;
};

// The five arguments of the button's BuildShading. Only the low 8 bits of noise and of both percentages
// count, and the percentages are then limited to 100.
struct ShadeOptions {
    unsigned m_kind = NoiseOnly;
    unsigned m_noise = 0;
    unsigned m_hoverPercent = 0;
    unsigned m_tintPercent = 0;
    quint32 m_tintColour = 0;
};

// Entries 0..127 run from shadow to face, 128..255 from face to highlight.
void FillButtonPalette(CDibSurface& surface, const ButtonColours& colours);

// The texture of an 8-bit surface of covered size; anything else is left untouched.
void ShadePixels(CDibSurface& surface, unsigned kind, unsigned noise, Random15& random);

// Builds normal (tinted) and hover (the same pixels, its table moved toward the highlight colour) at
// width x height. Returns false, with both surfaces empty, for uncovered sizes or when memory runs out.
bool BuildShading(CDibSurface& normal, CDibSurface& hover, int width, int height,
                  const ButtonColours& colours, const ShadeOptions& options, Random15& random);

} // namespace Shading
