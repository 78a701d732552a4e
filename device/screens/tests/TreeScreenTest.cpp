// The tree screens on a real application (headless window), the real default skin and English
// texts, and a real engine talking to the real service on loopback. The host stands where the
// document stands in the program and records where the tree sends the user.

#include "device/model/engine/tests/EngineHarness.h"
#include "device/screens/forms/RelativeDate.h"
#include "device/screens/tests/ScreenTestSupport.h"
#include "device/screens/tree/AllTasksList.h"
#include "device/screens/tree/TreeHost.h"
#include "device/screens/tree/TreeLevel.h"
#include "device/screens/tree/TreeStack.h"
#include "device/skin/skin/ElementLookup.h"
#include "device/skin/widgets/ImageElement.h"
#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

using namespace corvane;
using namespace corvane::test;

namespace {

class TreeTestHost final : public TreeHost, public EngineListener {
public:
    TreeTestHost(Properties& properties, const WString& url)
        : m_properties(properties)
        , m_engine(std::make_unique<Engine>(url, *this))
    {
        // The screens go before the engine they read (members are destroyed in reverse).
        m_engine->set_translator([this](WStringView key) { return text(key); });
        stack = std::make_unique<TreeStack>(static_cast<TreeHost&>(*this));
        all = std::make_unique<AllTasksList>(static_cast<TreeHost&>(*this));
    }

    // TreeHost
    Properties& properties() const override { return m_properties; }
    Engine& engine() const override { return *m_engine; }
    TreeStack& tree() const override { return *stack; }
    WString text(WStringView key) const override { return translate(m_properties, key); }
    WString user_name(std::int32_t id) const override
    {
        return id == -1 ? text(u"vizUsersAll") : m_engine->user_name(id);
    }
    WString relative_date(std::int64_t milliseconds, bool with_time) const override
    {
        return corvane::relative_date(
            [this](WStringView key) { return text(key); }, milliseconds, with_time);
    }
    std::int32_t selected_user() const override { return -1; }
    void show_main_menu() override { ++menus; }
    void show_all_tasks(std::int32_t id, WStringView name) override
    {
        all_lists.push_back(id);
        all->show(id, name);
    }
    void show_task(std::int32_t id) override
    {
        m_engine->open_task(id);
        shown_tasks.push_back(id);
    }
    void new_record(std::int32_t parent_id) override { new_records.push_back(parent_id); }
    void select_user() override { }

    // EngineListener: as the document forwards the reports.
    void on_state(bool busy, WStringView error) override
    {
        if (!busy) {
            ++idle_reports;
            last_error = WString(error);
        }
    }
    void on_list_changed() override { all->on_list_changed(); }
    void on_tags_changed() override { stack->on_tags_changed(); }
    void on_users_changed() override
    {
        stack->redraw_all();
        all->redraw_all();
    }
    void on_task_changed(std::int32_t id) override
    {
        stack->on_task_changed(id);
        all->on_task_changed(id);
    }
    void on_task_removed(std::int32_t id) override
    {
        stack->on_task_removed(id);
        all->on_task_removed(id);
    }

    int menus { 0 };
    int idle_reports { 0 };
    WString last_error;
    std::vector<std::int32_t> shown_tasks, new_records, all_lists;

private:
    Properties& m_properties; // The fixture's.
    std::unique_ptr<Engine> m_engine;

public:
    std::unique_ptr<TreeStack> stack;
    std::unique_ptr<AllTasksList> all;
};

class TreeScreenTest : public ::testing::Test, protected HeadlessScreens {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(start());
        // Made after the application's, so the engine's calls complete on the test's loop.
        scheduler = std::make_unique<CActiveScheduler>(loop, platform_clock());
        server = std::make_unique<VizServerProcess>(env.folder());
        ASSERT_TRUE(server->start());
        host = std::make_unique<TreeTestHost>(properties, server->base_url());
    }
    void TearDown() override
    {
        host.reset();
        seeders.clear();
        if (server)
            server->stop();
    }

    // A registered, logged-in account of its own, for putting data on the service.
    Client& seeder(const WString& email, const WString& name)
    {
        seeders.push_back(std::make_unique<Client>(loop, *scheduler, server->base_url()));
        Client& c = *seeders.back();
        EXPECT_EQ(c.register_user(email, u"secret-" + email, name), u"");
        return c;
    }

    // Runs `action`, then plays the loop until the host's engine has nothing left to send.
    void act(const std::function<void()>& action)
    {
        action();
        for (int round = 0; round < 30; ++round) {
            if (!host->engine().is_busy())
                host->engine().retry();
            if (!host->engine().is_busy())
                return;
            int seen = host->idle_reports;
            bool done = loop.run_until(
                *scheduler, [&] { return host->idle_reports > seen && !host->engine().is_busy(); },
                std::chrono::seconds(15));
            if (!done) {
                ADD_FAILURE() << "the engine did not come back to idle";
                return;
            }
        }
    }

    // The ids of a level's record rows (sections 1 to 3), sorted.
    static std::vector<std::int32_t> all_rows(const TreeLevel& level)
    {
        std::vector<std::int32_t> out;
        for (std::int32_t s = MarkedSection; s <= NotSharedSection; ++s)
            for (const Task& t : level.rows(s))
                out.push_back(t.id);
        std::sort(out.begin(), out.end());
        return out;
    }
    // The texts of a level's nodes, in the order asked for.
    static std::vector<WString> texts(Element& root, std::initializer_list<WStringView> ids)
    {
        std::vector<WString> out;
        for (WStringView id : ids)
            out.push_back(element_text(find_descendant(root, id)));
        return out;
    }
    // Saves `tag` on a record as `owner`.
    static void retag(Client& owner, std::int32_t id, const WString& tag)
    {
        Task edited = *owner.engine->find_task(id);
        edited.tag = tag;
        EXPECT_EQ(owner.act([&](Engine& e) { e.save_task(edited, u""); }), u"");
    }
    // The list index of a record's row; -1 when it has none.
    static std::int32_t index_of_record(TreeLevel& level, std::int32_t id)
    {
        for (std::int32_t s = MarkedSection; s <= NotSharedSection; ++s) {
            const auto& rows = level.rows(s);
            for (std::size_t r = 0; r < rows.size(); ++r)
                if (rows[r].id == id)
                    return level.list().index_of(s, static_cast<std::int32_t>(r));
        }
        return -1;
    }
    // A press on the row of a record.
    void activate_record(TreeLevel& level, std::int32_t id)
    {
        std::int32_t index = index_of_record(level, id);
        ASSERT_GE(index, 0) << "no row for " << id;
        act([&] { level.list().activated(*level.list().list(), index); });
    }

    void log_in(const WString& email)
    {
        act([&] { host->engine().login(email, u"secret-" + email); });
        ASSERT_TRUE(host->engine().is_logged_in()) << to_utf8(host->last_error);
        act([&] { host->stack->rebuild_to(0); });
    }

    TreeLevel& top() { return *host->stack->top(); }
    static void press(Element& root, WStringView id)
    {
        auto* button = dynamic_cast<ButtonElement*>(find_descendant(root, id));
        ASSERT_NE(button, nullptr) << to_utf8(WString(id));
        ASSERT_NE(button->handler(), nullptr);
        button->handler()->clicked(*button, {}, 0);
    }

    ThreadedLoop loop;
    std::unique_ptr<CActiveScheduler> scheduler;
    std::unique_ptr<VizServerProcess> server;
    std::vector<std::unique_ptr<Client>> seeders;
    std::unique_ptr<TreeTestHost> host;
};

} // namespace

// Root -> project -> folder -> task and back: rows, titles, the path bar of each level, the
// task opened from its row, the row we came from marked, and "back" on the only level opening
// the main menu while the level stays.
TEST_F(TreeScreenTest, browse_down_and_back)
{
    Client& ann = seeder(u"ann@example.com", u"Ann");
    std::int32_t garden = ann.create(0, u"Garden");
    std::int32_t beds = ann.create(garden, u"Beds");
    std::int32_t dig = ann.create(beds, u"Dig\r\nbefore the frost");
    std::int32_t rows = ann.create(beds, u"Rows");
    ann.create(rows, u"Rake");
    std::int32_t attic = ann.create(0, u"Attic");
    log_in(u"ann@example.com");

    ASSERT_EQ(host->stack->count(), 1u);
    TreeLevel& root = top();
    EXPECT_TRUE(root.is_open());
    EXPECT_EQ(all_rows(root), (std::vector<std::int32_t> { garden, attic }));
    // "All users": nothing in section 3, and its header is hidden with it.
    EXPECT_TRUE(root.rows(NotSharedSection).empty());
    EXPECT_FALSE(root.list().sections()[NotSharedSection].visible);
    EXPECT_TRUE(root.list().sections()[AllSection].visible);
    EXPECT_EQ(texts(root, { u"title", u"back", u"select_user" }),
        (std::vector {
            host->text(u"vizAllProjects"), host->text(u"Menu"), host->text(u"vizUsersAll") }));
    EXPECT_FALSE(find_descendant(root, u"path")->is_visible());

    act([&] { host->stack->open_list(garden, false); });
    TreeLevel& project = top();
    EXPECT_EQ(all_rows(project), std::vector<std::int32_t> { beds });
    EXPECT_EQ(texts(project, { u"title", u"back" }),
        (std::vector<WString> { u"Garden", host->text(u"BackUp") }));
    EXPECT_FALSE(find_descendant(project, u"path")->is_visible()); // a project has no parent
    EXPECT_TRUE(project.list().sections()[AllSection].visible);

    act([&] { host->stack->open_list(beds, false); });
    TreeLevel& folder = top();
    EXPECT_EQ(all_rows(folder), (std::vector<std::int32_t> { dig, rows }));
    EXPECT_EQ(texts(folder, { u"title" }), std::vector<WString> { u"Beds" });
    Element& path = *find_descendant(folder, u"path");
    EXPECT_TRUE(path.is_visible());
    EXPECT_FALSE(find_descendant(path, u"home")->is_visible());
    EXPECT_EQ(
        texts(*find_descendant(path, u"5"), { u"#text" }), std::vector<WString> { u"Garden" });
    EXPECT_FALSE(find_descendant(path, u"4")->is_visible());
    EXPECT_FALSE(folder.list().sections()[AllSection].visible); // only projects have the entry

    // A task row opens the task; it is not entered.
    activate_record(folder, dig);
    EXPECT_EQ(host->shown_tasks, std::vector<std::int32_t> { dig });
    EXPECT_EQ(host->stack->count(), 3u);

    press(folder, u"back");
    ASSERT_EQ(host->stack->count(), 2u);
    EXPECT_FALSE(folder.is_open());
    EXPECT_TRUE(top().shows(garden, u""));
    EXPECT_EQ(project.list().list()->selected_index(), index_of_record(project, beds));

    press(project, u"back");
    ASSERT_EQ(host->stack->count(), 1u);
    press(root, u"back");
    EXPECT_EQ(host->menus, 1);
    EXPECT_EQ(host->stack->count(), 1u);
    EXPECT_TRUE(root.is_open() && root.shows(0, u""));

    // "plus" starts a new record under the list shown: a project at the root.
    press(root, u"plus");
    EXPECT_EQ(host->new_records, std::vector<std::int32_t> { 0 });

    // A list removed on the service while it is open is left for its parent, with whatever was
    // opened inside it; the parent loses its row.
    for (std::int32_t id : { garden, beds, rows })
        act([&] { host->stack->open_list(id, false); });
    ASSERT_EQ(host->stack->count(), 4u);
    EXPECT_EQ(ann.act([&](Engine& e) { e.delete_task(beds); }), u"");
    act([&] { host->engine().open_folder(garden); });
    ASSERT_EQ(host->stack->count(), 2u);
    EXPECT_TRUE(top().shows(garden, u""));
    EXPECT_TRUE(all_rows(top()).empty());
    EXPECT_EQ(application->screen_count(), 2u);
}

// A list nested seven deep shows only its six nearest ancestors in the path; rebuilding to a
// list keeps the open levels of its chain and closes the rest, or opens what is missing.
TEST_F(TreeScreenTest, deep_path_and_rebuild_to)
{
    Client& ann = seeder(u"ann@example.com", u"Ann");
    std::vector<std::int32_t> chain { ann.create(0, u"P") };
    for (int depth = 1; depth <= 7; ++depth)
        chain.push_back(ann.create(chain.back(), u"f" + to_wstring(depth)));
    ann.create(chain.back(), u"leaf");
    log_in(u"ann@example.com");
    for (std::int32_t id : chain)
        act([&] { host->stack->open_list(id, false); });
    ASSERT_EQ(host->stack->count(), 9u);

    Element& path = *find_descendant(top(), u"path");
    ASSERT_TRUE(path.is_visible());
    std::vector<WString> cells;
    for (WStringView cell : { u"0", u"1", u"2", u"3", u"4", u"5" }) {
        Element& element = *find_descendant(path, cell);
        cells.push_back(element.is_visible() ? texts(element, { u"#text" })[0] : u"hidden");
    }
    // Cell 5 is the parent (f6), cell 0 five steps further up (f1); P is left out.
    EXPECT_EQ(cells, (std::vector<WString> { u"f1", u"f2", u"f3", u"f4", u"f5", u"f6" }));

    act([&] { host->stack->rebuild_to(chain[2]); });
    EXPECT_EQ(host->stack->count(), 4u);
    EXPECT_TRUE(top().shows(chain[2], u""));
    act([&] { host->stack->rebuild_to(chain[5]); });
    EXPECT_EQ(host->stack->count(), 7u);
    for (std::size_t k = 1; k < 7; ++k)
        EXPECT_TRUE(host->stack->level(k)->shows(chain[k - 1], u"")) << k;
    act([&] { host->stack->rebuild_to(0); });
    EXPECT_EQ(host->stack->count(), 1u);

    host->stack->close_all();
    EXPECT_EQ(host->stack->count(), 0u);
    EXPECT_EQ(application->screen_count(), 0u);
}

// Tags at the root, a tag level and leaving it: back from a project goes to its tag level in
// tag mode, back from the tag level goes to the root with the tag's row marked and tag mode
// over; an untagged project in tag mode ends tag mode. A project whose tag changes leaves the
// tag level's rows, and a tag level whose tag vanishes is left.
TEST_F(TreeScreenTest, tags_and_tag_levels)
{
    Client& ann = seeder(u"ann@example.com", u"Ann");
    std::int32_t house = ann.create(0, u"House");
    std::int32_t yard = ann.create(0, u"Yard");
    retag(ann, house, u"Home");
    retag(ann, yard, u"Home");
    retag(ann, ann.create(0, u"Office"), u"Work");
    std::int32_t loose = ann.create(0, u"Loose");
    log_in(u"ann@example.com");

    TreeLevel& root = top();
    EXPECT_EQ(root.tag_rows(), (std::vector<WString> { u"Home", u"Work" }));

    SectionedList& list = root.list();
    act([&] { list.activated(*list.list(), list.index_of(AllSection, 0)); });
    ASSERT_EQ(host->stack->count(), 2u);
    TreeLevel& home = top();
    EXPECT_TRUE(home.shows(-1, u"Home"));
    EXPECT_TRUE(host->stack->tag_mode());
    EXPECT_EQ(all_rows(home), (std::vector<std::int32_t> { house, yard }));
    EXPECT_EQ(texts(home, { u"title" }), std::vector<WString> { u"Home" });
    EXPECT_FALSE(find_descendant(home, u"plus")->is_visible());
    EXPECT_FALSE(find_descendant(home, u"path")->is_visible());

    act([&] { host->stack->open_list(house, false); });
    press(top(), u"back");
    ASSERT_EQ(host->stack->count(), 2u);
    EXPECT_TRUE(top().shows(-1, u"Home"));
    EXPECT_TRUE(host->stack->tag_mode());

    press(top(), u"back");
    ASSERT_EQ(host->stack->count(), 1u);
    EXPECT_FALSE(host->stack->tag_mode());
    EXPECT_EQ(root.list().list()->selected_index(), root.list().index_of(AllSection, 0));

    // Out of tag mode a tagged project goes back to the root, not to its tag.
    act([&] { host->stack->open_list(house, false); });
    press(top(), u"back");
    EXPECT_EQ(host->stack->count(), 1u);
    EXPECT_TRUE(top().shows(0, u""));

    // In tag mode an untagged project ends it.
    act([&] { host->stack->open_tag(u"Home", false); });
    act([&] { host->stack->open_list(loose, false); });
    act([&] { host->stack->leave_level(loose, u"", false); });
    EXPECT_FALSE(host->stack->tag_mode());
    EXPECT_TRUE(top().shows(0, u""));
    host->stack->close_all();
    act([&] { host->stack->rebuild_to(0); });
    act([&] { host->stack->open_tag(u"Home", false); });
    retag(ann, yard, u"Work");
    act([&] { host->engine().open_folder(0); });
    EXPECT_EQ(all_rows(top()), std::vector<std::int32_t> { house });

    retag(ann, house, u"");
    act([&] { host->engine().open_folder(0); });
    EXPECT_EQ(root.tag_rows(), std::vector<WString> { u"Work" });
    EXPECT_EQ(host->stack->count(), 1u);
    EXPECT_TRUE(top().shows(0, u""));
}
// A row draws its record: the unread count wins over the deadline, exactly one name node
// shows, the icon is the record's cell, "info" only for projects and folders of a tree level,
// and the flat list shows the parent chain.
TEST_F(TreeScreenTest, record_row_drawing)
{
    std::vector<ImageRef> icons = host->all->screen().icons();
    ASSERT_EQ(icons.size(), 48u);
    Element row;
    build_from_node_or_throw(row, properties, u"TreeElement");

    Task task;
    task.id = 40;
    task.parentId = 7;
    task.title = u"Water\r\nthe beds";
    task.unreadCount = 3;
    task.deadline = 1'700'000'000'000;
    task.unread = true;
    task.status = 9;
    task.responsibleId = -1;
    // The row's parts that show, in a fixed order.
    auto shown = [&] {
        std::string out;
        for (WStringView node :
            { WStringView(u"unread"), WStringView(u"deadline"), WStringView(u"info"),
                WStringView(u"path"), WStringView(u"wait"), WStringView(u"icon") })
            out += find_descendant(row, node)->is_visible() ? to_utf8(node) + " " : "";
        for (WStringView node : tree_name_nodes)
            out += find_descendant(row, node)->is_visible() ? to_utf8(node) + " " : "";
        return out;
    };
    draw_record_row(row, task, { MarkedSection, false }, *host, icons);
    EXPECT_EQ(shown(), "unread icon name_unread ");
    EXPECT_EQ(texts(row, { u"unread", u"name_unread" }),
        (std::vector<WString> {
            replace_placeholder(host->text(u"CountUnread"), u"%count%", u"3"), u"Water" }));
    EXPECT_EQ(
        Form::require_in<ImageElement>(row, u"icon").source().coords, icons[4 + 8 * 5].coords);

    task.unreadCount = 0;
    task.unread = false;
    task.childCount = 2;
    draw_record_row(row, task, { OthersSection, false }, *host, icons);
    EXPECT_EQ(shown(), "deadline info icon name_unfiltered "); // "info": a folder
    EXPECT_EQ(texts(row, { u"deadline", u"responsible" }),
        (std::vector { host->relative_date(task.deadline, false), host->text(u"vizUsersAll") }));

    task.deadline = 0;
    draw_record_row(row, task, { OthersSection, true }, *host, icons);
    EXPECT_EQ(shown(), "path icon name_unfiltered "); // never "info" in the flat list
}

// The flat list of all tasks pages through 60 tasks with "more", 25 at a time, and hides
// "more" after the last page; shown again over a list that already holds 25 rows or more, it
// asks for no page. A listed task inside a folder attaches through its ancestors.
TEST_F(TreeScreenTest, all_tasks_pages_with_more)
{
    Client& ann = seeder(u"ann@example.com", u"Ann");
    std::int32_t project = ann.create(0, u"Big");
    std::int32_t folder = ann.create(project, u"Folder");
    for (int n = 1; n <= 59; ++n)
        ann.create(n % 2 ? folder : project, u"Task " + to_wstring(n));
    log_in(u"ann@example.com");

    SectionedList& rows = top().list();
    act([&] { rows.activated(*rows.list(), rows.index_of(AllSection, -1)); });
    EXPECT_EQ(host->all_lists, std::vector<std::int32_t> { 0 });
    TreeLevel& flat = host->all->screen();
    ASSERT_TRUE(host->all->is_open());
    EXPECT_EQ(flat.listed_rows(), 25);
    EXPECT_TRUE(host->engine().more_pages());
    EXPECT_TRUE(flat.list().sections()[MoreSection].visible);
    EXPECT_FALSE(flat.list().sections()[AllSection].visible);
    EXPECT_EQ(texts(flat, { u"title", u"back" }),
        (std::vector { host->text(u"vizAllTasks"), host->text(u"Back") }));
    EXPECT_FALSE(find_descendant(flat, u"plus")->is_visible());
    EXPECT_FALSE(find_descendant(flat, u"path")->is_visible());

    // Shown again while it holds a page: no further page is asked for.
    int pages = server->calls_of("getFilteredList");
    host->all->close(false);
    act([&] { host->all->show(0, u""); });
    EXPECT_EQ(server->calls_of("getFilteredList"), pages);
    EXPECT_EQ(flat.listed_rows(), 25);

    for (int page = 2; page <= 3; ++page)
        act([&] { flat.more_pressed(); });
    EXPECT_EQ(flat.listed_rows(), 60);
    EXPECT_FALSE(host->engine().more_pages());
    EXPECT_TRUE(host->engine().is_attached(folder));
    EXPECT_FALSE(flat.list().sections()[MoreSection].visible);

    // Rows open the task, whatever their kind.
    activate_record(flat, all_rows(flat).front());
    ASSERT_EQ(host->shown_tasks.size(), 1u);
    press(flat, u"back");
    EXPECT_FALSE(host->all->is_open());
}
