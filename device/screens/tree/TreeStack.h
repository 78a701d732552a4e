#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

class Document;
class TreeHost;
class TreeLevel;

// The open levels of the project and task tree, bottom (root) to top, each a screen on the
// application's stack. Levels are created on demand and reused; they live as long as the stack.
// Main thread.
class TreeStack {
public:
    explicit TreeStack(Document& document);
    // On another host (tests); the host outlives us.
    explicit TreeStack(TreeHost& host);
    ~TreeStack();
    TreeStack(const TreeStack&) = delete;
    TreeStack& operator=(const TreeStack&) = delete;

    void open_list(std::int32_t id, bool animate);
    void open_tag(WStringView tag, bool animate);
    // Leaves the top level for the one its list belongs under (the parent, the tag level in tag
    // mode, or the root after a tag), marking there the row we came from.
    void leave_level(std::int32_t from_id, WStringView from_name, bool animate);
    // Makes the stack show the chain root ... id, keeping the open levels that already do.
    void rebuild_to(std::int32_t id);
    void close_all();

    // The engine's reports, forwarded by the document.
    void on_task_changed(std::int32_t id);
    void on_task_removed(std::int32_t id);
    void on_tags_changed();
    // Every row again (users changed).
    void redraw_all();
    // Every open level set to its list again (the filter user changed).
    void reset_lists();

    std::size_t count() const { return m_count; }
    TreeLevel* level(std::size_t index) const;
    TreeLevel* top() const { return m_count ? m_levels[m_count - 1].get() : nullptr; }
    bool tag_mode() const { return m_tag_mode; }

private:
    explicit TreeStack(std::unique_ptr<TreeHost> host);

    // The level at position count, made when there is none yet, pushed and counted.
    TreeLevel& push_level(bool animate);
    // Tells the engine which list the user looks at.
    void tell_engine(std::int32_t id, WStringView tag);
    // Closes, without animation, every level from `position` up.
    void close_from(std::size_t position);

    std::unique_ptr<TreeHost> m_owned_host;
    TreeHost& m_host; // m_owned_host, or the test's.
    std::vector<std::unique_ptr<TreeLevel>> m_levels;
    std::size_t m_count { 0 };
    bool m_tag_mode { false };
};

} // namespace corvane
