#include "device/skin/skin/ElementLookup.h"

#include "device/skin/skin/Properties.h"
#include "device/skin/skin/SkinErrors.h"

namespace corvane {

bool build_from_node(Element& element, Properties& properties, WStringView name)
{
    std::optional<Node> node = properties.find_node(name);
    if (!node)
        return false;
    element.remove_all_children();
    element.load(properties, *node);
    element.invalidate_measures();
    return true;
}

void build_from_node_or_throw(Element& element, Properties& properties, WStringView name)
{
    if (!build_from_node(element, properties, name))
        throw NodeNotFoundInSkin(name);
}

Element* find_descendant(const Element& root, WStringView id)
{
    return root.find_descendant(id);
}

Element& require_descendant(const Element& root, WStringView id)
{
    Element* found = root.find_descendant(id);
    if (!found)
        throw NodeNotFound(root.id(), id);
    return *found;
}

} // namespace corvane
