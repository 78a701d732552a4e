#include "device/skin/skin/ElementRegistry.h"

#include "device/skin/skin/Element.h"
#include "device/skin/skin/SkinErrors.h"

#include <map>

namespace corvane {

namespace {

    std::map<WString, ElementFactory, std::less<>>& registry()
    {
        static std::map<WString, ElementFactory, std::less<>> kinds;
        return kinds;
    }

} // namespace

void register_element_kind(WStringView kind, ElementFactory factory)
{
    if (!registry().try_emplace(WString(kind), std::move(factory)).second)
        throw NodeAlreadyRegistered(kind);
}

std::unique_ptr<Element> create_element(WStringView kind)
{
    auto found = registry().find(kind);
    if (found == registry().end())
        throw NodeNotRegistered(kind);
    return found->second();
}

void unregister_element_kind(WStringView kind)
{
    auto found = registry().find(kind);
    if (found != registry().end())
        registry().erase(found);
}

bool is_element_kind_registered(WStringView kind)
{
    return registry().find(kind) != registry().end();
}

ScopedElementKind::ScopedElementKind(WStringView kind, ElementFactory factory)
    : m_kind(kind)
{
    register_element_kind(kind, std::move(factory));
}

ScopedElementKind::~ScopedElementKind()
{
    unregister_element_kind(m_kind);
}

} // namespace corvane
