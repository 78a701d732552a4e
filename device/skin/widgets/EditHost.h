#pragma once

namespace corvane {

class Element;

// The application side of text entry: which element is being edited now. The edit elements
// make themselves current on a press and leave when hidden or destroyed; the host switches the
// window into its editing mode and back. Main thread.
class EditHost {
public:
    virtual ~EditHost() = default;
    virtual void set_edit(Element* element) = 0;
    virtual Element* edited_element() const = 0;
};

// The process's host (not owned; null when nothing can edit, as in most tests).
EditHost* edit_host();
void set_edit_host(EditHost* host);

} // namespace corvane
