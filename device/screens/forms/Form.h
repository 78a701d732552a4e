#pragma once

#include "common/base/Text.h"
#include "device/shell/Screen.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/skin/ReloadListener.h"
#include "device/skin/skin/SkinErrors.h"
#include "device/skin/widgets/ButtonElement.h"

#include <cstdint>

namespace corvane {

class Form;
class Properties;

// Hears the presses of a form's buttons. Not owned by the form.
class FormListener {
public:
    virtual ~FormListener() = default;
    virtual void form_button(Form& form, ButtonElement& button) = 0;
};

// A screen built from one top-level skin node. It binds its named children after every build
// and builds again when the skin or the language is reloaded, so every text it shows comes from
// the skin and language in force. The form is its own screen id: the node's name. Main thread.
class Form : public Screen, public ReloadListener, protected ButtonHandler {
public:
    // Nothing is built yet: the most derived constructor calls build() once its members exist.
    Form(Properties& properties, WString node);
    ~Form() override; // leaves the screen stack and the reload listeners
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const WString& node() const { return m_node; }
    Properties& properties() const { return m_properties; }
    void set_listener(FormListener* listener) { m_listener = listener; }
    FormListener* listener() const { return m_listener; }

    // Builds the element tree from the node and binds it: NodeNotFoundInSkin when the skin has
    // no such node, NodeNotFound when a required child is missing.
    void build();
    void reload_skin(Properties& properties) override;

    // Through the application's screen stack.
    void show(bool overlay, bool animate);
    bool close(bool animate);
    bool is_open() const;

    // The language text of a key (the key itself when the language has none).
    WString text(WStringView key) const;

protected:
    // Binds the named children; runs after every build. Throws NodeNotFound for a required
    // child that is missing.
    virtual void bind_nodes() { }
    // Before a reload replaces the tree: let go of whatever points into it.
    virtual void release_tree() { }
    // After a reload has rebuilt and rebound the tree: show the form's state again.
    virtual void refresh_after_reload() { }
    // A bound button was pressed; the default tells the listener.
    virtual void on_button(ButtonElement& button);

    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;

    // Children of the form, looked up by id (direct children first, then depth-first).
    template<typename Kind> Kind& require(WStringView id) { return require_in<Kind>(*this, id); }
    template<typename Kind> Kind* optional(WStringView id) { return optional_in<Kind>(*this, id); }
    // A button: also makes this form its handler.
    ButtonElement& require_button(WStringView id);
    ButtonElement* optional_button(WStringView id);

public:
    // The same for any subtree, for row elements.
    template<typename Kind> static Kind& require_in(const Element& root, WStringView id)
    {
        Kind* found = dynamic_cast<Kind*>(corvane::find_descendant(root, id));
        if (!found)
            throw NodeNotFound(root.id(), id);
        return *found;
    }
    template<typename Kind> static Kind* optional_in(const Element& root, WStringView id)
    {
        return dynamic_cast<Kind*>(corvane::find_descendant(root, id));
    }

private:
    Properties& m_properties; // Outlives us.
    WString m_node;
    FormListener* m_listener { nullptr }; // Not owned.
    bool m_listening { false };
};

// Sets the text of a text element, an edit or a button; other kinds are left alone.
void set_element_text(Element* element, WStringView text);
// The text a text element, an edit or a button shows; empty for other kinds.
WString element_text(const Element* element);
// Shows or hides an element that may be absent.
inline void show_element(Element* element, bool shown)
{
    if (element && element->is_visible() != shown)
        element->set_visible(shown);
}
// Replaces every "%name%" (or other placeholder) in a text.
WString replace_placeholder(WStringView text, WStringView placeholder, WStringView value);

} // namespace corvane
