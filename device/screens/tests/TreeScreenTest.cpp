#include "device/screens/tests/TreeTestSupport.h"

#include "device/skin/widgets/ImageElement.h"

using namespace corvane;
using namespace corvane::test;

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

    for (int page = 2; page <= 3; ++page)
        act([&] { flat.more_pressed(); });
    EXPECT_EQ(flat.listed_rows(), 60);
    EXPECT_TRUE(host->engine().is_attached(folder));
    EXPECT_FALSE(flat.list().sections()[MoreSection].visible);

    // Rows open the task, whatever their kind.
    activate_record(flat, all_rows(flat).front());
    ASSERT_EQ(host->shown_tasks.size(), 1u);
    press(flat, u"back");
    EXPECT_FALSE(host->all->is_open());
}
