#pragma once

#include "common/records/Task.h"
#include "device/screens/forms/Form.h"
#include "device/screens/forms/SectionedList.h"
#include "device/screens/tree/TreeRows.h"
#include "device/screens/tree/TreeRules.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace corvane {

class TreeHost;

// One screen of the tree on the skin node "Tree": the children of a record, the projects of a
// tag, or (flat) the service's filtered list of tasks. Rows are copies of the engine's records
// kept in three sorted sections; the engine's change reports move, redraw or drop them one by
// one while the screen is shown. The tree stack reuses levels, so a level is re-targeted with
// set_list rather than rebuilt. Main thread.
class TreeLevel final : public Form, private SectionedListOwner, private TreeItemOwner {
public:
    enum class Mode { Level, Flat };

    // Builds at once (skin errors propagate). The host outlives us.
    TreeLevel(TreeHost& host, Mode mode);
    ~TreeLevel() override;
    // Lets go of the list before the rebuild destroys its element.
    void reload_skin(Properties& properties) override;

    // Shows a record's children (id >= 0), a tag's projects (-1 and the tag), or when flat the
    // listed records of a record (id >= 1), of everything (0) or of a tag (-1). A tree level
    // also tells the engine to fetch the children it does not have yet.
    void set_list(std::int32_t list_id, WStringView tag);
    const TreeTarget& target() const { return m_target; }
    std::int32_t list_id() const { return m_target.list_id; }
    const WString& tag() const { return m_target.tag; }
    bool is_flat() const { return m_target.flat; }
    bool shows(std::int32_t list_id, WStringView tag) const
    {
        return m_target.list_id == list_id && m_target.tag == tag;
    }

    // The engine's reports.
    void task_changed(std::int32_t id);
    // Drops the record's row, wherever it is.
    void task_removed(std::int32_t id);
    // At the root: the tag rows follow the engine's tags.
    void tags_changed();
    // Every header, row and the title bar drawn again (names or the filter user changed).
    void redraw_all();
    // The title bar and the section headers (visibility, texts, loading and paging state).
    void update_bar();

    // The pressed-row mark on the row of a record or of a tag; nothing when absent.
    void highlight_record(std::int32_t id);
    void highlight_tag(WStringView tag);

    // The rows, for the stack and for tests.
    const std::vector<Task>& rows(std::int32_t section) const;
    const std::vector<WString>& tag_rows() const { return m_tags; }
    std::int32_t listed_rows() const;
    SectionedList& list() { return *m_list; }
    const std::vector<ImageRef>& icons() const { return m_icons; }

    // Handlers of the row buttons and of "more" in the flat list.
    void complete_pressed(std::int32_t id);
    void info_pressed(std::int32_t id);
    void more_pressed();

private:
    static constexpr std::int32_t s_page_size = 25;
    // The task, or nothing for a negative id or one the engine does not know.
    static const Task* find(const Engine& engine, std::int32_t id);

    struct Location {
        std::int32_t section { -1 };
        std::int32_t row { -1 };
    };

    void bind_nodes() override;
    void refresh_after_reload() override;
    void on_button(ButtonElement& button) override;

    std::unique_ptr<Element> create_header(std::int32_t section) override;
    std::unique_ptr<Element> create_row(std::int32_t section, std::int32_t row) override;
    void activated(std::int32_t section, std::int32_t row) override;
    void draw_item(TreeItem& item, std::int32_t index) override;
    void item_button(TreeItem& item, ButtonElement& button) override;
    void draw_header(TreeItem& header);
    void draw_tag(TreeItem& item, std::int32_t row);
    void draw_record(TreeItem& item, std::int32_t section, std::int32_t row);

    void fill_rows();
    void fill_tags();
    std::vector<SectionedList::Section> shape() const;
    std::vector<Task>& section_rows(std::int32_t section);
    Location locate(std::int32_t id) const;
    void place(const Task& record);
    void drop(Location at);
    void update_section_visibility();
    // The root of an account without projects, once the service has said so: the header then
    // tells what to do instead of naming a list nobody can open yet.
    bool shows_no_projects() const;
    void open_record(const Task& record);
    WString header_text(std::int32_t section) const;
    Engine& engine() const;

    TreeHost& m_host; // Outlives us.
    TreeTarget m_target;
    std::int32_t m_list_project { -1 }; // flat: the project of the record shown
    std::array<std::vector<Task>, 3> m_rows; // sections 1 to 3, each sorted
    bool m_showed_no_projects { false };
    std::vector<WString> m_tags; // section 0 rows at the root, ascending
    std::vector<ImageRef> m_icons;
    std::unique_ptr<SectionedList> m_list;

    // Not owned: elements of our tree, rebound after every build.
    ButtonElement* m_back { nullptr };
    ButtonElement* m_title { nullptr };
    ButtonElement* m_plus { nullptr };
    ButtonElement* m_select_user { nullptr };
    Element* m_path { nullptr };
};

} // namespace corvane
