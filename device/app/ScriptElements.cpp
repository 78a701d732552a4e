#include "device/app/ScriptElements.h"

#include "device/skin/skin/Element.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/TextElement.h"
#include "device/skin/widgets/VListElement.h"

#include <charconv>
#include <cmath>

namespace corvane::script {

bool parse_number(const std::string& word, double& out)
{
    const char* end = word.data() + word.size();
    auto [stop, failure] = std::from_chars(word.data(), end, out);
    return failure == std::errc() && stop == end && std::isfinite(out);
}

Point centre_of(const Element& element)
{
    return { element.x() + element.width() / 2, element.y() + element.height() / 2 };
}

std::vector<Element*> parts_of(Element& element)
{
    std::vector<Element*> parts;
    for (const auto& child : element.children())
        parts.push_back(child.get());
    if (auto* list = dynamic_cast<VListElement*>(&element)) {
        for (const auto& item : list->live_items()) {
            if (item.index >= 0)
                parts.push_back(item.element.get());
        }
    }
    return parts;
}

bool is_displayed_chain(const Element& element)
{
    if (!element.is_displayed() || element.width() <= 0 || element.height() <= 0)
        return false;
    for (const Element* at = &element; at; at = at->parent()) {
        if (at->is_animating())
            return false;
    }
    return true;
}

Element* find_showing(Element& root, const WString& text)
{
    for (Element* part : parts_of(root)) {
        if (!is_displayed_chain(*part))
            continue;
        const auto* button = dynamic_cast<const ButtonElement*>(part);
        const auto* shown = dynamic_cast<const TextElement*>(part);
        if ((button && button->text() == text) || (shown && shown->text() == text))
            return part;
        if (Element* found = find_showing(*part, text))
            return found;
    }
    return nullptr;
}

} // namespace corvane::script
