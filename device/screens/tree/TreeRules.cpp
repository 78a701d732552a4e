#include "device/screens/tree/TreeRules.h"

#include "device/model/engine/Engine.h"

#include <algorithm>

namespace corvane {

std::int32_t tree_section_for(const Task& record, std::int32_t list_id, std::int32_t selected_user)
{
    if (record.marked)
        return MarkedSection;
    if (list_id != 0 || selected_user == -1)
        return OthersSection;
    bool takes_part = std::any_of(
        record.permissions.begin(), record.permissions.end(), [&](const Permission& entry) {
            return entry.userId != 0 && entry.userId == selected_user;
        });
    return takes_part ? OthersSection : NotSharedSection;
}

bool tree_row_before(const Task& a, const Task& b)
{
    if (a.marked != b.marked)
        return a.marked;
    if (a.complete != b.complete)
        return !a.complete;
    if (a.date != b.date)
        return a.date > b.date;
    bool a_due = a.deadline != 0;
    bool b_due = b.deadline != 0;
    if (a_due != b_due)
        return a_due;
    if (a.deadline != b.deadline)
        return a.deadline < b.deadline;
    // std::u16string compares char16_t values, which is code-unit order.
    if (int order = a.title.compare(b.title); order != 0)
        return order < 0;
    return a.id < b.id;
}

std::int32_t tree_icon_kind(const Task& record)
{
    if (!record.editable)
        return is_project(record) ? 6 : 7;
    std::int32_t kind = is_project(record) ? 0 : is_folder(record) ? 2 : 4;
    return kind + (record.complete ? 1 : 0);
}

std::int32_t clamp_status(std::int32_t status)
{
    return std::clamp(status, 0, icon_statuses - 1);
}

std::int32_t tree_icon_index(const Task& record)
{
    return tree_icon_kind(record) + icon_kinds * clamp_status(record.status);
}

std::vector<ImageRef> cut_icon_sheet(const ImageRef& sheet)
{
    std::vector<ImageRef> cells(icon_count);
    std::int32_t width = sheet.coords.x3 - sheet.coords.x0;
    std::int32_t height = sheet.coords.y3 - sheet.coords.y0;
    if (sheet.bitmap.is_empty() || width <= 0 || height <= 0)
        return cells;
    std::int32_t cell_width = width / icon_statuses;
    std::int32_t cell_height = height / icon_kinds;
    for (std::int32_t status = 0; status < icon_statuses; ++status) {
        for (std::int32_t kind = 0; kind < icon_kinds; ++kind) {
            ImageRef& cell = cells[kind + icon_kinds * status];
            cell.bitmap = sheet.bitmap;
            cell.scale_shift = sheet.scale_shift;
            cell.flag = sheet.flag;
            std::int32_t left = sheet.coords.x0 + status * cell_width;
            std::int32_t top = sheet.coords.y0 + kind * cell_height;
            // One plain part: the whole cell is the tiled middle.
            cell.coords = { left, top, left, top, left + cell_width, top + cell_height,
                left + cell_width, top + cell_height };
        }
    }
    return cells;
}

WStringView tree_separator_key(std::int32_t section, const TreeTarget& target)
{
    bool sharing = target.is_root() && !target.flat;
    switch (section) {
    case MarkedSection:
        return u"AssignedToName";
    case OthersSection:
        return sharing ? u"SharedWithName" : u"AssignedToOthers";
    case NotSharedSection:
        return sharing ? u"NotSharedWithName" : u"";
    default:
        return u"";
    }
}

WStringView tree_all_description_key(const TreeTarget& target)
{
    if (target.is_root())
        return u"ListOfTasksInAllProjects";
    if (target.is_tag())
        return u"ListOfTasksInGroupName";
    return u"ListOfTasksInName";
}

WStringView tree_name_node(std::int32_t section, bool unread)
{
    if (section == MarkedSection)
        return unread ? u"name_unread" : u"name";
    return unread ? u"name_unread_unfiltered" : u"name_unfiltered";
}

bool tree_belongs(const Task& record, const TreeTarget& target, std::int32_t list_project)
{
    if (record.id <= 0)
        return false;
    if (target.flat) {
        if (!record.listed)
            return false;
        return target.list_id <= 0 || record.projectId == list_project;
    }
    if (target.is_tag())
        return is_project(record) && record.tag == target.tag;
    return record.parentId == target.list_id;
}

std::int32_t tag_unread_count(const Engine& engine, WStringView tag)
{
    std::int32_t count = 0;
    for (const auto& record : engine.tasks()) {
        if (record->id > 0 && record->tag == tag && (record->unread || record->unreadCount != 0))
            ++count;
    }
    return count;
}

} // namespace corvane
