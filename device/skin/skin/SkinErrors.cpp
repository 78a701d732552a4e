#include "device/skin/skin/SkinErrors.h"

namespace corvane {

NodeNotFoundInSkin::NodeNotFoundInSkin(WStringView node_name)
    : SkinError("node not found in skin: " + to_utf8(node_name))
    , m_node_name(node_name)
{
}

NodeNotFound::NodeNotFound(WStringView parent_id, WStringView sought_id)
    : SkinError("node not found: {" + to_utf8(sought_id) + "} in {" + to_utf8(parent_id) + "}")
    , m_parent_id(parent_id)
    , m_sought_id(sought_id)
{
}

NodeNotRegistered::NodeNotRegistered(WStringView kind)
    : SkinError("element kind not registered: {" + to_utf8(kind) + "}")
    , m_kind(kind)
{
}

NodeAlreadyRegistered::NodeAlreadyRegistered(WStringView kind)
    : SkinError("element kind already registered: {" + to_utf8(kind) + "}")
    , m_kind(kind)
{
}

} // namespace corvane
