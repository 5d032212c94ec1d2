#pragma once

class CDibSurface;
class QPainter;

// What CDibSurface::Draw keeps between draws. The window side makes it on the first draw; the surface only
// owns and releases it, so the memory side of the surface never needs to know what it is.
class DibDrawingObject {
public:
    DibDrawingObject() = default;
    DibDrawingObject(const DibDrawingObject&) = delete;
    DibDrawingObject& operator=(const DibDrawingObject&) = delete;
    virtual ~DibDrawingObject() = default;

    // Takes the surface's current pixels and paints them at full size with (x, y) as the top-left corner.
    virtual void Draw(const CDibSurface& surface, QPainter& painter, int x, int y) = 0;
};
