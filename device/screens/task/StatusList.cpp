#include "device/screens/task/StatusList.h"

#include "device/screens/task/TaskEditorListener.h"

namespace corvane {

StatusList::StatusList(Properties& properties, TaskEditorListener& listener)
    : ListForm(properties, u"Colors", u"ColorSeparator", u"ColorElement", 1, nullptr)
    , m_listener(listener)
{
    set_owner(this);
    build();
    fill();
}

void StatusList::open(std::int32_t current)
{
    m_current = current;
    fill();
    show(false, true);
}

void StatusList::refresh_after_reload()
{
    fill(); // the captions are language texts
}

void StatusList::fill()
{
    ListSection section;
    section.header = u"StatusLabel";
    for (std::int32_t status = 0; status < status_count; ++status) {
        ListRow row;
        row.text = text(u"vizStatus" + to_wstring(status));
        row.id = status;
        row.checked = status == m_current;
        section.rows.push_back(std::move(row));
    }
    set_sections({ std::move(section) });
}

void StatusList::row_built(ListForm&, std::int32_t, std::int32_t row, Element& element)
{
    // Only the mark of the row's own status shows; the marks are the row's direct children.
    for (std::int32_t status = 0; status < status_count; ++status) {
        for (const auto& child : element.children()) {
            if (child->id() == to_wstring(status))
                show_element(child.get(), status == row);
        }
    }
}

void StatusList::row_pressed(ListForm&, std::int32_t, std::int32_t row)
{
    if (row < 0 || row >= status_count)
        return;
    close(true);
    m_listener.status_chosen(row);
}

} // namespace corvane
