#pragma once

#include "common/base/Text.h"

#include <cstdint>
#include <memory>

namespace corvane {

class Document;
class TreeHost;
class TreeLevel;

// The flat list of all tasks of a record, of a tag or of everything, paged from the service in
// pages of 25. It is a tree screen in flat mode: the rows are the records the engine keeps
// listed. Main thread.
class AllTasksList {
public:
    static constexpr std::int32_t page_size = 25;

    explicit AllTasksList(Document& document);
    // On another host (tests); the host outlives us.
    explicit AllTasksList(TreeHost& host);
    ~AllTasksList();
    AllTasksList(const AllTasksList&) = delete;
    AllTasksList& operator=(const AllTasksList&) = delete;

    // Shows the list of a record (id >= 1), of everything (0) or of the tag `name` (-1), asking
    // for a page when fewer than a page of rows is known.
    void show(std::int32_t id, WStringView name);
    bool close(bool animate);
    bool is_open() const;

    void on_task_changed(std::int32_t id);
    void on_task_removed(std::int32_t id);
    void on_list_changed();
    void redraw_all();
    // The filter user changed: the rows are taken again.
    void reset_list();

    TreeLevel& screen() const { return *m_screen; }

private:
    explicit AllTasksList(std::unique_ptr<TreeHost> host);

    bool is_shown() const { return m_shown; }
    void ask_for_page_when_short();

    std::unique_ptr<TreeHost> m_owned_host;
    TreeHost& m_host; // m_owned_host, or the test's.
    std::unique_ptr<TreeLevel> m_screen;
    bool m_shown { false }; // targeted by show() at least once
};

} // namespace corvane
