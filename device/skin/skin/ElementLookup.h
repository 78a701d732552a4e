#pragma once

#include "common/base/Text.h"
#include "device/skin/skin/Element.h"
#include "device/skin/skin/GeometryObserver.h"

namespace corvane {

class Properties;

// Replaces the element's children and properties with those of the top-level node `name`.
// False when the skin has no such node (screens then raise NodeNotFoundInSkin). May throw
// NodeNotRegistered.
[[nodiscard]] bool build_from_node(Element& element, Properties& properties, WStringView name);

// Like build_from_node, but raises NodeNotFoundInSkin when the node is missing.
void build_from_node_or_throw(Element& element, Properties& properties, WStringView name);

// Direct children first, then each child's subtree in child order; null when absent.
Element* find_descendant(const Element& root, WStringView id);

// The descendant with that id, or NodeNotFound(root id, id).
Element& require_descendant(const Element& root, WStringView id);

// Finds the descendant `id` of `root`; when it exists and is of kind Kind, stores it in `slot`,
// makes `handler` its geometry observer and, for kinds that report activation (buttons), its
// handler, and answers true. Otherwise answers false and changes nothing.
template<typename Kind, typename Handler>
bool bind(Kind*& slot, const Element& root, WStringView id, Handler& handler)
{
    Kind* found = dynamic_cast<Kind*>(find_descendant(root, id));
    if (!found)
        return false;
    slot = found;
    if constexpr (std::is_base_of_v<GeometryObserver, Handler>)
        found->set_geometry_observer(&handler);
    if constexpr (requires { found->set_handler(&handler); })
        found->set_handler(&handler);
    return true;
}

} // namespace corvane
