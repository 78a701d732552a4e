#pragma once

#include "common/records/Task.h"
#include "device/skin/render/Bitmap.h"
#include "device/skin/skin/Element.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/VListElement.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace corvane {

class TreeHost;

class TreeItem;

// Draws the items of a tree list and hears their buttons. Not owned by the items.
class TreeItemOwner {
public:
    virtual ~TreeItemOwner() = default;
    virtual void draw_item(TreeItem& item, std::int32_t index) = 0;
    virtual void item_button(TreeItem& item, ButtonElement& button) = 0;
};

// A header or row of a tree list. The list binds it to its index when it is made and when it
// is redrawn, so a redraw repaints the element in place: a button may ask for a redraw of its
// own row from its press handler. Main thread.
class TreeItem final : public Element, public BindableItem, private ButtonHandler {
public:
    // `section` is the section whose node it is built from.
    TreeItem(TreeItemOwner& owner, std::int32_t section);

    std::int32_t section() const { return m_section; }
    // The record (or -1) the row shows since its last drawing.
    std::int32_t record_id() const { return m_record_id; }
    void set_record_id(std::int32_t id) { m_record_id = id; }
    // Becomes the handler of the buttons with these ids that it has.
    void handle_buttons(std::initializer_list<WStringView> ids);

    void bind(std::int32_t index) override { m_owner.draw_item(*this, index); }

private:
    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;

    TreeItemOwner& m_owner; // The level that owns the list that owns us.
    std::int32_t m_section;
    std::int32_t m_record_id { -1 };
};

// How a record row looks where it is shown.
struct TreeRowPlace {
    std::int32_t section { 0 }; // 1 to 3
    bool flat { false };
};

// Draws a record into a built "TreeElement": the one name node that fits its section and
// unread flag, the unread count or else the deadline, the responsible user, the parent chain in
// the flat list, the status icon or the wait mark while the record is in flight, and "info"
// for projects and folders of a tree level. Missing required children raise NodeNotFound.
void draw_record_row(Element& row, const Task& record, const TreeRowPlace& place,
    const TreeHost& host, const std::vector<ImageRef>& icons);

// Draws a tag into a built "TreeTagElement": the tag and the count of its unread records.
void draw_tag_row(Element& row, WStringView tag, const TreeHost& host);

} // namespace corvane
