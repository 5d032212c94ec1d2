#pragma once

#include <QtGlobal>
#include <cstddef>

// The published 40-byte bitmap information header that opens a packed device-independent bitmap,
// field for field. Stored in the host's byte order, which is little-endian on every platform we build for.
struct BITMAPINFOHEADER {
    quint32 biSize = 0;
    qint32 biWidth = 0;
    qint32 biHeight = 0;
    quint16 biPlanes = 0;
    quint16 biBitCount = 0;
    quint32 biCompression = 0;
    quint32 biSizeImage = 0;
    qint32 biXPelsPerMeter = 0;
    qint32 biYPelsPerMeter = 0;
    quint32 biClrUsed = 0;
    quint32 biClrImportant = 0;
};

static_assert(sizeof(BITMAPINFOHEADER) == 40, "the packed image block starts with exactly 40 header bytes");
static_assert(offsetof(BITMAPINFOHEADER, biBitCount) == 14 && offsetof(BITMAPINFOHEADER, biSizeImage) == 20 &&
                  offsetof(BITMAPINFOHEADER, biClrImportant) == 36,
              "fields at their published offsets");
