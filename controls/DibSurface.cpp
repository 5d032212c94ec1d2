#include "controls/DibSurface.h"

#include <cstring>
#include <limits>
#include <new>
#include <utility>

namespace {

quint16 ColourCountFor(quint16 bitCount) {
    switch (bitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

} // namespace

CDibSurface::~CDibSurface() {
    Destroy();
}

void CDibSurface::Destroy() {
    // The drawing object may refer to the block's layout, so it goes first.
    m_pDrawing.reset();
    m_pImage.reset();
    m_header = BITMAPINFOHEADER{};
}

quint8* CDibSurface::Create(qint32 width, qint32 height, unsigned bitCount) {
    Destroy();
    const auto bits = static_cast<quint16>(bitCount & 0xFFFFu);
    m_nColours = ColourCountFor(bits);
    m_nStride = ((bits * static_cast<quint32>(width) + 31u) >> 5) << 2;

    m_header.biSize = kHeaderSize;
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_header.biPlanes = 1;
    m_header.biBitCount = bits;
    m_header.biSizeImage = m_nStride * static_cast<quint32>(height);

    if (width <= 0 || height <= 0) {
        return nullptr;
    }
    // The header's sizes are 32-bit: a block they cannot describe is refused rather than wrapped.
    const quint64 stride = ((quint64{bits} * static_cast<quint64>(width) + 31u) >> 5) << 2;
    const quint64 total = kHeaderSize + stride * static_cast<quint64>(height) + 4u * quint64{m_nColours};
    if (total > std::numeric_limits<quint32>::max()) {
        return nullptr;
    }

    m_pImage.reset(new (std::nothrow) quint8[total]);
    if (m_pImage) {
        std::memcpy(m_pImage.get(), &m_header, kHeaderSize);
    }
    return m_pImage.get();
}

void CDibSurface::CopyFrom(const CDibSurface& source) {
    if (&source == this) {
        return;
    }
    if (source.IsEmpty()) {
        Destroy();
        return;
    }
    if (Create(source.GetWidth(), source.GetHeight(), source.GetBitCount()) != nullptr) {
        std::memcpy(m_pImage.get(), source.m_pImage.get(), source.GetTotalSize());
    }
}

const quint8* CDibSurface::GetBits() const {
    if (!m_pImage) {
        return nullptr;
    }
    // The pixels follow the header size stored in the block itself, then the colour table.
    quint32 headerSize = 0;
    std::memcpy(&headerSize, m_pImage.get(), sizeof headerSize);
    return m_pImage.get() + headerSize + GetPaletteSize();
}

quint8* CDibSurface::GetBits() {
    return const_cast<quint8*>(std::as_const(*this).GetBits());
}

const quint8* CDibSurface::GetColourTable() const {
    return m_pImage && m_nColours != 0 ? m_pImage.get() + kHeaderSize : nullptr;
}

void CDibSurface::SetPaletteEntry(unsigned index, quint8 red, quint8 green, quint8 blue) {
    index &= 0xFFu;
    if (!m_pImage || index >= m_nColours) {
        return;
    }
    quint8* entry = m_pImage.get() + kHeaderSize + 4u * index;
    entry[0] = blue;
    entry[1] = green;
    entry[2] = red;
    entry[3] = 0;
}

void CDibSurface::BlendPalette(quint32 colour, unsigned percent) {
    if (!m_pImage || m_nColours == 0) {
        return;
    }
    const unsigned p = percent > 100u ? 100u : percent;
    const unsigned target[3] = {(colour >> 16) & 0xFFu, (colour >> 8) & 0xFFu, colour & 0xFFu}; // B, G, R
    quint8* entry = m_pImage.get() + kHeaderSize;
    for (unsigned n = 0; n < m_nColours; ++n, entry += 4) {
        for (int c = 0; c < 3; ++c) {
            entry[c] = static_cast<quint8>((entry[c] * (100u - p) + target[c] * p) / 100u);
        }
    }
}

void CDibSurface::Fill(unsigned value) {
    if (quint8* bits = GetBits()) {
        std::memset(bits, static_cast<int>(value & 0xFFu), m_header.biSizeImage);
    }
}

void CDibSurface::PutPixel(qint32 x, qint32 y, quint8 value) {
    if (!m_pImage || m_nColours == 0 || x < 0 || y < 0 || x >= m_header.biWidth || y >= m_header.biHeight) {
        return;
    }
    quint8* row = GetBits() + static_cast<std::size_t>(m_header.biHeight - 1 - y) * m_nStride;
    switch (m_header.biBitCount) {
    case 8:
        row[x] = value;
        break;
    case 4: {
        const int shift = (x & 1) == 0 ? 4 : 0;
        quint8& byte = row[x / 2];
        byte = static_cast<quint8>((byte & ~(0x0F << shift)) | ((value & 0x0F) << shift));
        break;
    }
    case 1: {
        const int shift = 7 - (x & 7);
        quint8& byte = row[x / 8];
        byte = static_cast<quint8>((byte & ~(1 << shift)) | ((value & 1) << shift));
        break;
    }
    default:
        break;
    }
}
