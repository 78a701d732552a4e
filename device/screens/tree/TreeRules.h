#pragma once

#include "common/base/Text.h"
#include "common/records/Task.h"
#include "device/skin/render/Bitmap.h"

#include <cstdint>
#include <vector>

namespace corvane {

class Engine;

// The rules of the project and task tree that need no window: which section a record goes
// to, the order of rows, the status icon, the texts of the section headers and which records a
// level shows. Pure functions over records, so every screen of the tree agrees on them.

// The five sections of a tree list.
enum TreeSection : std::int32_t {
    AllSection = 0, // entry to the flat list; the tags at the root
    MarkedSection = 1,
    OthersSection = 2, // at the root: projects the selected user takes part in
    NotSharedSection = 3, // root only: projects the selected user does not take part in
    MoreSection = 4, // loading indicator or paging button
    TreeSectionCount = 5,
};

// What a tree screen shows: a record's children (id >= 0, 0 the root), the projects of a tag
// (id -1 with a tag), or, when flat, the service's filtered list of a record, a tag or all.
struct TreeTarget {
    std::int32_t list_id { -1 };
    WString tag;
    bool flat { false };
    bool is_root() const { return list_id == 0; }
    bool is_tag() const { return list_id < 0; }
};

// Section 1 for a marked record; else section 2 inside a list or with no selected user (-1);
// else (root with a selected user) 2 when one of the record's participants is that user and 3
// otherwise. A participant entry with user id 0 names nobody.
std::int32_t tree_section_for(const Task& record, std::int32_t list_id, std::int32_t selected_user);

// True when `a` comes before `b`: marked first, then not complete, later date, with a deadline
// (earlier first), text by UTF-16 code units, and finally id. Total, so sorting is stable.
bool tree_row_before(const Task& a, const Task& b);

// A record's shape in the tree.
inline bool is_project(const Task& record)
{
    return record.parentId == 0;
}
inline bool is_folder(const Task& record)
{
    return record.parentId != 0 && record.childCount > 0;
}
// A task is opened in the task screen rather than entered.
inline bool is_plain_task(const Task& record)
{
    return record.parentId > 0 && record.childCount == 0;
}

// Icon sheet geometry: one row per kind, one column per status.
constexpr std::int32_t icon_kinds = 8;
constexpr std::int32_t icon_statuses = 6;
constexpr std::int32_t icon_count = icon_kinds * icon_statuses;

// The row of the icon sheet: editable records 0 project, 2 folder, 4 task, +1 when complete;
// others 6 for a project and 7 for anything else.
std::int32_t tree_icon_kind(const Task& record);
// The status limited to 0..5.
std::int32_t clamp_status(std::int32_t status);
// Entry kind + 8 * status of the icon table.
std::int32_t tree_icon_index(const Task& record);
// The 48 cells of the sheet in table order (entry kind + 8 * status): the picture's area is
// cut into 6 columns (status, left to right) and 8 rows (kind, top to bottom). An empty sheet
// gives empty cells.
std::vector<ImageRef> cut_icon_sheet(const ImageRef& sheet);

// The language key of a section header, before "%name%" is replaced; empty when the header
// gets no text. The root of the tree (not flat) speaks of sharing; lists speak of assignment.
WStringView tree_separator_key(std::int32_t section, const TreeTarget& target);
// The key of the flat-list entry ("TreeAllElement") text for a level.
WStringView tree_all_description_key(const TreeTarget& target);

// The name node that carries the title of a record row; the other three are hidden.
WStringView tree_name_node(std::int32_t section, bool unread);
inline constexpr WStringView tree_name_nodes[4]
    = { u"name", u"name_unread", u"name_unfiltered", u"name_unread_unfiltered" };

// Whether a record has a row in a screen showing `target`. A level shows the children of its
// record, a tag level the projects with its tag; the flat list shows the records the engine
// keeps listed, limited to the project of the record shown. `list_project` is the project id of
// the record the flat list shows (ignored otherwise).
bool tree_belongs(const Task& record, const TreeTarget& target, std::int32_t list_project);

// How many records with this tag have news the user has not seen (the unread flag, or a
// non-zero unread count).
std::int32_t tag_unread_count(const Engine& engine, WStringView tag);

} // namespace corvane
