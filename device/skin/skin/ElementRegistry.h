#pragma once

#include "common/base/Text.h"

#include <functional>
#include <memory>

namespace corvane {

class Element;

// The process-wide map from element kind name ("node", "text", ...) to a factory. Kinds are
// registered before any screen is built and unregistered at shutdown. Main thread only.
using ElementFactory = std::function<std::unique_ptr<Element>()>;

// Throws NodeAlreadyRegistered when the name is present.
void register_element_kind(WStringView kind, ElementFactory factory);
// Throws NodeNotRegistered when the name is absent.
std::unique_ptr<Element> create_element(WStringView kind);
// Removing a name that is absent does nothing.
void unregister_element_kind(WStringView kind);
bool is_element_kind_registered(WStringView kind);

template<typename Kind> ElementFactory element_factory()
{
    return [] { return std::make_unique<Kind>(); };
}

// Registers a kind for the lifetime of this object (tests and short-lived set-ups).
class ScopedElementKind {
public:
    ScopedElementKind(WStringView kind, ElementFactory factory);
    ~ScopedElementKind();
    ScopedElementKind(const ScopedElementKind&) = delete;
    ScopedElementKind& operator=(const ScopedElementKind&) = delete;

private:
    WString m_kind;
};

} // namespace corvane
