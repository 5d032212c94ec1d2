#include "controls/Shading.h"

#include <algorithm>

namespace Shading {
namespace {

quint8 Low8(int value) {
    return static_cast<quint8>(value);
}

int Cube(int t) {
    return (t * t * t / 128) / 128;
}

int Channel(quint32 colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFFu);
}

// The pixel rows of an 8-bit surface; r = 0 is the bottom row, as stored.
class Rows final {
public:
    explicit Rows(CDibSurface& surface)
        : m_bits(surface.GetBits()), m_stride(surface.GetStride()), m_width(surface.GetWidth()),
          m_height(surface.GetHeight()) {}

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    quint8& At(int x, int r) {
        return m_bits[static_cast<std::size_t>(r) * m_stride + static_cast<std::size_t>(x)];
    }

private:
    quint8* m_bits;
    std::size_t m_stride;
    int m_width;
    int m_height;
};

// The draws of one build: N = random ÷ d, with d fixed so that N spans 0..2g.
class Grain final {
public:
    Grain(Random15& random, unsigned noise)
        : m_random(random), m_g(static_cast<int>(noise & 0xFFu)), m_d(Random15::kMax / std::max(2 * m_g, 1)) {
    }

    int G() const { return m_g; }
    int Draw() { return m_random.Next() / m_d; }
    // A grain of about ±g around the value already there.
    void Add(quint8& pixel) { pixel = Low8(pixel + Draw() - m_g); }

private:
    Random15& m_random;
    int m_g;
    int m_d;
};

// Sets each pixel to value(x, r) and adds one grain, visiting rows from the bottom, left to right.
template <typename Value> void ShadeByRows(Rows& rows, Grain& grain, Value value) {
    for (int r = 0; r < rows.Height(); ++r) {
        for (int x = 0; x < rows.Width(); ++x) {
            quint8& pixel = rows.At(x, r);
            pixel = Low8(value(x, r));
            grain.Add(pixel);
        }
    }
}

// The same, visiting columns from the left, each from the bottom row up.
template <typename Value> void ShadeByColumns(Rows& rows, Grain& grain, Value value) {
    for (int x = 0; x < rows.Width(); ++x) {
        for (int r = 0; r < rows.Height(); ++r) {
            quint8& pixel = rows.At(x, r);
            pixel = Low8(value(x, r));
            grain.Add(pixel);
        }
    }
}

void ShadeBanded(Rows& rows, Grain& grain) {
    const int w = rows.Width();
    const int h = rows.Height();
    const int g = grain.G();
    ShadeByRows(rows, grain, [&](int, int r) { return 128 + (128 - 2 * g) * Cube(r * 255 / h - 127) / 128; });

    const int e = std::min(w / 6, 16);
    // A single row would make the band curve divide by zero; it is the middle row, where the curve adds 0.
    const int q = std::max(h * h / 4, 1);
    for (int r = 0; r < rows.Height(); ++r) {
        const qint64 dy = r - h / 2;
        const int lim = (w / 2 - e) + static_cast<int>(dy * dy * e / q);
        for (int x = 0; x < w; ++x) {
            quint8& pixel = rows.At(x, r);
            const int dx = x - w / 2;
            if (e > 0 && dx > lim) {
                pixel = Low8(g + (w - x) * 128 / e);
            } else if (e > 0 && dx + lim < 0) {
                pixel = Low8(255 - g - x * 128 / e);
            }
            grain.Add(pixel);
        }
    }
}

void ShadeScratches(CDibSurface& surface, Rows& rows, Grain& grain, Random15& random) {
    const int w = rows.Width();
    const int h = rows.Height();
    const int shorter = w < h ? w : h;
    constexpr int kStrokes = 200;
    constexpr int kStrokeLift = 40;

    surface.Fill(0);
    for (int stroke = 0; stroke < kStrokes; ++stroke) {
        const int x0 = random.Next() / (Random15::kMax / w);
        const int y0 = random.Next() / (Random15::kMax / h);
        const int len = (random.Next() / (Random15::kMax / shorter)) / 2;
        const auto v = Low8(random.Next() / (Random15::kMax / kStrokeLift));
        for (int j = 0; j < len; ++j) {
            if (x0 - j > 0 && y0 + j < h) {
                surface.PutPixel(x0 - j, y0 + j, v);
            }
            // The second half-stroke starts from the mirrored column but is bounded by x0.
            if (x0 + j < w && y0 - j > 0) {
                surface.PutPixel(w - x0 + j, y0 - j, v);
            }
        }
    }

    const int k = (255 - 2 * grain.G() - kStrokeLift) / 2;
    for (int r = 0; r < h; ++r) {
        for (int x = 0; x < w; ++x) {
            quint8& pixel = rows.At(x, r);
            pixel = Low8(pixel + k * r / h + k * (w - x) / w);
            pixel = Low8(pixel + grain.Draw());
        }
    }
}

} // namespace

void FillButtonPalette(CDibSurface& surface, const ButtonColours& colours) {
    const auto entry = [](int n, int s, int f, int l) {
        return Low8(n < 128 ? ((128 - n) * s + n * f) / 128 : ((255 - n) * f + (n - 127) * l) / 128);
    };
    for (int n = 0; n < 256; ++n) {
        quint8 rgb[3];
        for (int c = 0; c < 3; ++c) {
            rgb[c] = entry(n, Channel(colours.m_shadow, 8 * c), Channel(colours.m_face, 8 * c),
                           Channel(colours.m_highlight, 8 * c));
        }
        surface.SetPaletteEntry(static_cast<unsigned>(n), rgb[0], rgb[1], rgb[2]);
    }
}

void ShadePixels(CDibSurface& surface, unsigned kind, unsigned noise, Random15& random) {
    if (surface.IsEmpty() || surface.GetBitCount() != 8 || surface.GetWidth() > kMaxSide ||
        surface.GetHeight() > kMaxSide) {
        return;
    }
    Rows rows(surface);
    Grain grain(random, noise);
    const int w = rows.Width();
    const int h = rows.Height();
    const int g = grain.G();
    const auto ty = [h](int r) { return r * 255 / h - 127; };
    const auto tx = [w](int x) { return (w - x) * 255 / w - 127; };

    switch (kind) {
    case DiagonalRamp: {
        const int k = (255 - 2 * g) / 2;
        ShadeByRows(rows, grain, [&](int x, int r) { return g + k * r / h + k * (w - x) / w; });
        break;
    }
    case VerticalRamp:
        ShadeByRows(rows, grain, [&](int, int r) { return g + (255 - 2 * g) * r / h; });
        break;
    case HorizontalRamp:
        ShadeByColumns(rows, grain, [&](int x, int) { return g + (255 - 2 * g) * (w - x) / w; });
        break;
    case VerticalCurve:
        ShadeByRows(rows, grain, [&](int, int r) { return 128 + (128 - g) * Cube(ty(r)) / 128; });
        break;
    case HorizontalCurve:
        ShadeByColumns(rows, grain, [&](int x, int) { return 128 + (128 - g) * Cube(tx(x)) / 128; });
        break;
    case CornerCurve:
        ShadeByRows(rows, grain, [&](int x, int r) {
            const int v = 128 + (128 - g) * (Cube(ty(r)) + Cube(tx(x))) / 128;
            return v < g ? g : (v > 255 - g ? 255 - g : v);
        });
        break;
    case BandedCurve:
        ShadeBanded(rows, grain);
        break;
    case Scratches:
        ShadeScratches(surface, rows, grain, random);
        break;
    default:
        for (int r = 0; r < h; ++r) {
            for (int x = 0; x < w; ++x) {
                rows.At(x, r) = Low8(128 - g + grain.Draw());
            }
        }
        break;
    }
}

bool BuildShading(CDibSurface& normal, CDibSurface& hover, int width, int height,
                  const ButtonColours& colours, const ShadeOptions& options, Random15& random) {
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide ||
        normal.Create(width, height, 8) == nullptr) {
        normal.Destroy();
        hover.Destroy();
        return false;
    }
    FillButtonPalette(normal, colours);
    normal.BlendPalette(options.m_tintColour, options.m_tintPercent & 0xFFu);
    ShadePixels(normal, options.m_kind, options.m_noise, random);

    hover.CopyFrom(normal);
    if (hover.IsEmpty()) {
        normal.Destroy();
        return false;
    }
    hover.BlendPalette(colours.m_highlight, options.m_hoverPercent & 0xFFu);
    return true;
}

} // namespace Shading
