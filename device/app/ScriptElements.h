#pragma once

#include "common/base/Text.h"
#include "device/skin/render/Geometry.h"

#include <string>
#include <vector>

namespace corvane {

class Element;

// How the script driver reads the screen. Main thread.
namespace script {

    // A whole finite number, as a script writes it.
    bool parse_number(const std::string& word, double& out);
    Point centre_of(const Element& element);
    // Children and, for lists, their live items, in that order.
    std::vector<Element*> parts_of(Element& element);
    // Shown, with a size, and not in the middle of an animation of its own or an ancestor's:
    // what a person would call on screen.
    bool is_displayed_chain(const Element& element);
    // The first element on screen, depth first, that shows exactly `text`: a text element or a
    // button.
    Element* find_showing(Element& root, const WString& text);

} // namespace script

} // namespace corvane
