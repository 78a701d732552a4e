#pragma once

#include <cstdint>

namespace corvane {

class Element;

// Told of every effective change of an element's place. Screens use it to follow elements that
// move (a native edit box over an edit element, for example). Main thread.
class GeometryObserver {
public:
    virtual ~GeometryObserver() = default;
    // The element's x position or width changed; `width` is the new width.
    virtual void geometry_changed_x(Element& element, std::int32_t width) = 0;
    // The element's y position or height changed; `height` is the new height.
    virtual void geometry_changed_y(Element& element, std::int32_t height) = 0;
};

} // namespace corvane
