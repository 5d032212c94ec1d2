#pragma once

#include "controls/BitmapInfoHeader.h"
#include "controls/DibDrawingObject.h"

#include <QtGlobal>
#include <memory>

class QPainter;

// A small in-memory device-independent bitmap: one packed block holding the 40-byte header, the colour
// table (blue, green, red, 0 per entry) and the pixel rows, bottom row first, each row padded to a multiple
// of four bytes. The image is built pixel by pixel and entry by entry; Draw shows it.
//
// The class spans two libraries. Everything but Draw is plain memory work and is compiled into kelvra_core,
// which has no Gui module. Draw and the drawing object it makes on first use are compiled into kelvra_ui
// (DibSurfaceDraw.cpp). The surface holds that object through the DibDrawingObject interface, whose virtual
// destructor lets the core release it without knowing its type, so a program that never draws links against
// kelvra_core alone.
//
// Every operation that needs the image block checks for it first; out-of-range pixels and colour-table
// indices are ignored. Sizes that a 32-bit header cannot describe, and widths or heights of 0 or less, are
// refused like a failed allocation.
class CDibSurface final {
public:
    static constexpr quint32 kHeaderSize = sizeof(BITMAPINFOHEADER);

    CDibSurface() = default;
    CDibSurface(const CDibSurface&) = delete;
    CDibSurface& operator=(const CDibSurface&) = delete;
    ~CDibSurface();

    // Releases the drawing object and the image block and zeroes the header copy; the stride and the colour
    // count keep their values.
    void Destroy();
    // Allocates a new block (colour table and pixels uninitialised) and returns it, or null when it cannot be
    // had. Only the low 16 bits of bitCount count.
    quint8* Create(qint32 width, qint32 height, unsigned bitCount);
    // Becomes a copy of the source's whole block; the drawing object is made anew on the next draw. Copying
    // from an empty source leaves this surface empty.
    void CopyFrom(const CDibSurface& source);

    qint32 GetWidth() const { return m_header.biWidth; }
    qint32 GetHeight() const { return m_header.biHeight; }
    quint16 GetBitCount() const { return m_header.biBitCount; }
    quint32 GetStride() const { return m_nStride; }
    quint16 GetColourCount() const { return m_nColours; }
    quint32 GetPaletteSize() const { return 4u * m_nColours; }
    quint32 GetTotalSize() const { return m_header.biSize + m_header.biSizeImage + GetPaletteSize(); }
    quint32 GetImageSize() const { return m_header.biSizeImage; }
    bool IsEmpty() const { return m_pImage == nullptr; }

    // Start of the pixel rows, or null when empty.
    quint8* GetBits();
    const quint8* GetBits() const;
    // Start of the colour table, or null when empty or without one.
    const quint8* GetColourTable() const;

    // Entry index & 0xFF becomes (red, green, blue); ignored when it lies beyond the colour table.
    void SetPaletteEntry(unsigned index, quint8 red, quint8 green, quint8 blue);
    // Moves every entry percent (at most 100) toward colour, a 0x00BBGGRR value, dropping fractions.
    void BlendPalette(quint32 colour, unsigned percent);
    // Every byte of the pixel rows, padding included, becomes value & 0xFF.
    void Fill(unsigned value);
    // y counts from the top row of the image. Surfaces with a colour table only; 1- and 4-bit surfaces take
    // the low bits of value into their packed pixel, most significant bits first.
    void PutPixel(qint32 x, qint32 y, quint8 value);

    // Paints the image at full size with (x, y) as its top-left corner. The colour table is taken when the
    // drawing object is made, on the first draw after Create; the pixels are taken at every draw.
    // Defined in kelvra_ui.
    void Draw(QPainter& painter, qint32 x, qint32 y);

private:
    std::unique_ptr<quint8[]> m_pImage;
    BITMAPINFOHEADER m_header;
    quint32 m_nStride = 0;
    quint16 m_nColours = 0;
    std::unique_ptr<DibDrawingObject> m_pDrawing;
};
