#pragma once

#include "common/base/Text.h"

#include <exception>

namespace corvane {

// The four skin errors. They are raised to the screens that build themselves from a skin and
// never caught inside the skin engine; what() gives a UTF-8 description for diagnostics.
class SkinError : public std::exception {
public:
    const char* what() const noexcept override { return m_message.c_str(); }

protected:
    explicit SkinError(std::string message)
        : m_message(std::move(message))
    {
    }

private:
    std::string m_message;
};

// A screen asked for a top-level node that the skin lacks.
class NodeNotFoundInSkin : public SkinError {
public:
    explicit NodeNotFoundInSkin(WStringView node_name);
    const WString& node_name() const { return m_node_name; }

private:
    WString m_node_name;
};

// A screen requires a descendant that its built tree lacks.
class NodeNotFound : public SkinError {
public:
    NodeNotFound(WStringView parent_id, WStringView sought_id);
    const WString& parent_id() const { return m_parent_id; }
    const WString& sought_id() const { return m_sought_id; }

private:
    WString m_parent_id;
    WString m_sought_id;
};

// A child node names an element kind that is not registered.
class NodeNotRegistered : public SkinError {
public:
    explicit NodeNotRegistered(WStringView kind);
    const WString& kind() const { return m_kind; }

private:
    WString m_kind;
};

// An element kind was registered twice.
class NodeAlreadyRegistered : public SkinError {
public:
    explicit NodeAlreadyRegistered(WStringView kind);
    const WString& kind() const { return m_kind; }

private:
    WString m_kind;
};

} // namespace corvane
