// Plain points, sizes and rectangles in the desktop's layout coordinates, the one space every
// frame Halvo handles lives in: monitors, visible frames, the pointer, window frames and the
// overlay's frame. The origin is where the desktop puts it (X11: the root window's top-left
// corner; sway: layout (0,0)), x grows to the right and y downwards, in logical pixels (double
// precision).
#pragma once

#include <algorithm>

namespace halvo {

struct Point {
    double x = 0;
    double y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    double width = 0;
    double height = 0;
    bool operator==(const Size&) const = default;
};

// A top-left corner plus a size: minX()/minY() are the left and top edges, maxX()/maxY() the right
// and bottom ones.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const Rect&) const = default;

    Point origin() const { return {x, y}; }
    Size size() const { return {width, height}; }
    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
    bool isEmpty() const { return width <= 0 || height <= 0; }

    // Half-open containment: the top and left edges are inside, the bottom and right ones are not,
    // so a pixel's top-left corner lies on exactly one of two rectangles that share an edge.
    bool contains(Point p) const {
        return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }

    // Grown by d on every side (shrunk when d is negative).
    Rect insetBy(double d) const { return {x + d, y + d, width - 2 * d, height - 2 * d}; }

    // The overlap of two rectangles; an empty rectangle (zero size) when they do not overlap.
    Rect intersection(const Rect& other) const {
        const double left = std::max(minX(), other.minX());
        const double top = std::max(minY(), other.minY());
        const double right = std::min(maxX(), other.maxX());
        const double bottom = std::min(maxY(), other.maxY());
        if (right <= left || bottom <= top)
            return {};
        return {left, top, right - left, bottom - top};
    }

    double area() const { return isEmpty() ? 0 : width * height; }
};

} // namespace halvo
