#include "WidgetTestSupport.h"

#include "device/core/KeyCode.h"
#include "device/skin/render/RenderSurface.h"

using namespace corvane;
using namespace corvane::test;

namespace {

// Every character 10 pixels wide: extents[i] = 10 * (i + 1).
std::vector<std::int32_t> fixed_extents(WStringView text)
{
    std::vector<std::int32_t> extents;
    for (std::size_t i = 0; i < text.size(); ++i)
        extents.push_back(static_cast<std::int32_t>(10 * (i + 1)));
    return extents;
}

std::vector<WString> wrap(WStringView text, std::int32_t width)
{
    std::vector<WString> out;
    for (const TextElement::Line& line : TextElement::wrap_lines(text, fixed_extents(text), width))
        out.emplace_back(text.substr(line.start, line.length));
    return out;
}

using Lines = std::vector<WString>;

} // namespace

// Words move to the next line whole and the space at the break is dropped; a word wider than
// the line is cut where it overflows; a line feed always breaks, and a text that ends in one
// ends in an empty line; the zero-width space is a break too.
TEST(TextWrap, BreaksBetweenWords)
{
    const std::tuple<WStringView, std::int32_t, Lines> cases[] = {
        { u"aa bb cc", 50, { u"aa bb", u"cc" } },
        { u"aa bb cc", 40, { u"aa", u"bb", u"cc" } },
        { u"aa bb cc", 80, { u"aa bb cc" } },
        { u"abcdefgh", 30, { u"abc", u"def", u"gh" } },
        { u"ab\ncd", 1000, { u"ab", u"cd" } },
        { u"ab\n", 1000, { u"ab", u"" } },
        { u"abc\u200Bdef", 40, { u"abc", u"def" } },
        { u"", 40, { u"" } },
    };
    for (const auto& [text, width, lines] : cases)
        EXPECT_EQ(wrap(text, width), lines) << to_utf8(text) << " in " << width;
}

// Alignment words are matched whole and case-sensitively; anything else centres.
TEST(TextAlignment, Words)
{
    EXPECT_EQ(parse_horizontal_alignment(u"RIGHT"), HorizontalAlignment::Right);
    EXPECT_EQ(parse_horizontal_alignment(u"right"), HorizontalAlignment::Center);
    EXPECT_EQ(parse_horizontal_alignment(u"JUSTIFY"), HorizontalAlignment::Justify);
    EXPECT_EQ(parse_vertical_alignment(u"BOTTOM "), VerticalAlignment::VCenter);
    EXPECT_EQ(parse_vertical_alignment(u"TOP"), VerticalAlignment::Top);
}

using TextWidgets = WidgetTest;

// Five lines of words in a box two lines high show two lines and then the ellipsis; without
// wrap the whole text is one line. A growing text asks for the height of all its lines at its
// width, and its text change reaches the layout; a text assigned by id reaches the element with
// that id only.
TEST_F(TextWidgets, WrapEllipsisAndGrowth)
{
    build(u"TextWrap", 80, 100);
    auto& text = find<TextElement>(u"wrapped");
    std::int32_t line_height = text.single_line_extent().height;
    ASSERT_GT(line_height, 0);
    root->set_y(0, line_height * 2 + line_height / 2);
    std::size_t lines = text.lines().size();
    ASSERT_GT(lines, 3u);
    RenderSurface surface;
    ASSERT_TRUE(surface.recreate(80, 100));
    text.paint(surface, text.position());
    EXPECT_EQ(text.drawn_lines(), 2u);
    EXPECT_TRUE(text.drew_ellipsis());

    root->set_y(0, line_height * static_cast<std::int32_t>(lines));
    text.paint(surface, text.position());
    EXPECT_EQ(text.drawn_lines(), lines);
    EXPECT_FALSE(text.drew_ellipsis());
    text.set_wrap(false);
    EXPECT_EQ(text.lines().size(), 1u);

    build(u"TextWrap", 60, 300);
    auto& grown = find<TextElement>(u"grown");
    EXPECT_GT(grown.lines().size(), 1u);
    EXPECT_EQ(grown.height(), line_height * static_cast<std::int32_t>(grown.lines().size()));
    root->assign_text(u"grown", u"x");
    EXPECT_NE(find<TextElement>(u"wrapped").text(), u"x");
    layout();
    EXPECT_EQ(grown.height(), line_height);
}

// The rich text flows its words within the width, keeps each run's colour and grows to its
// lines.
TEST_F(TextWidgets, RichTextFlowsRunsWithinTheWidth)
{
    build(u"Rich", 100, 300);
    auto& rich = find<RichTextElement>(u"rich");
    rich.add_run({ u"second run in red that is long enough to wrap", rich.font(), rich.font(),
        Color { 255, 0, 0, 255 }, 0 });
    layout();
    const auto& lines = rich.line_boxes(rich.width());
    ASSERT_GT(lines.size(), 1u);
    std::int32_t total = 0;
    for (const auto& line : lines) {
        EXPECT_LE(line.width, rich.width());
        total += line.height;
    }
    EXPECT_EQ(rich.height(), total);
    bool saw_second = false;
    for (const auto& piece : rich.pieces(rich.width())) {
        EXPECT_LE(piece.x + piece.width, rich.width() + 10); // only trailing spaces may hang
        saw_second = saw_second || piece.run == 1;
    }
    EXPECT_TRUE(saw_second);
    RenderSurface surface;
    ASSERT_TRUE(surface.recreate(100, 300));
    surface.fill_color({}, surface.size(), Color { 255, 255, 255, 255 });
    rich.paint(surface, rich.position());
    bool red = false;
    const Surface& pixels = *surface.surface();
    for (std::int32_t y = 0; y < rich.height() && !red; ++y) {
        for (std::int32_t x = 0; x < 100; ++x) {
            Pixel p = pixels.pixel(x, y);
            red = red || (red_of(p) >= 0xC0 && green_of(p) < 0x60 && blue_of(p) < 0x60);
        }
    }
    EXPECT_TRUE(red);
}

// A label_edit shows its label while the edit is empty and the clear button only once something
// is typed; clicking clear empties the edit. Typing edits at the caret (Backspace, Delete, Left,
// Right, Home, End); a line longer than the field shifts just enough to keep the caret in sight,
// at either end; hiding the edit ends editing. A password edit holds the real text and shows one
// asterisk per character; listeners hear every change once.
TEST_F(TextWidgets, EditingAScrollingAndPasswordField)
{
    build(u"Widgets");
    auto& label = find<TextElement>(u"#text");
    auto& clear = find<ButtonElement>(u"clear");
    auto& edit = find<EditElement>(u"#edit");
    struct Counter : EditListener {
        int changes = 0;
        void text_changed(EditElement&) override { ++changes; }
    } counter;
    find<LabelEditElement>(u"name").set_listener(&counter);
    EXPECT_EQ(label.text(), u"NameLabel");
    EXPECT_TRUE(label.is_visible());
    EXPECT_FALSE(clear.is_visible());

    ASSERT_TRUE(root->pointer_event(press_at(20, 10)));
    ASSERT_TRUE(root->pointer_event(release_at(20, 10)));
    ASSERT_TRUE(edit.is_current());
    EXPECT_TRUE(root->char_event(u"x") || edit.char_event(u"x"));
    EXPECT_EQ(edit.value(), u"x");
    EXPECT_FALSE(label.is_visible());
    EXPECT_TRUE(clear.is_visible());
    ASSERT_TRUE(clear.pointer_event(press_at(clear.x() + 1, clear.y() + 1)));
    clear.pointer_event(release_at(clear.x() + 1, clear.y() + 1));
    EXPECT_EQ(edit.value(), u"");
    EXPECT_TRUE(label.is_visible());
    EXPECT_FALSE(clear.is_visible());
    EXPECT_EQ(counter.changes, 2);

    edit.begin_editing();
    edit.char_event(u"hello");
    auto key = [&](KeyCode code) {
        edit.key_event({ static_cast<std::int32_t>(code), true, true });
        edit.key_event({ static_cast<std::int32_t>(code), false, true });
    };
    key(KeyCode::Left);
    key(KeyCode::Left);
    key(KeyCode::Backspace);
    EXPECT_EQ(edit.value(), u"helo");
    key(KeyCode::Del);
    EXPECT_EQ(edit.value(), u"heo");
    key(KeyCode::Home);
    edit.char_event(u"[");
    key(KeyCode::End);
    edit.char_event(u"]");
    key(KeyCode::Enter); // single line: no line feed
    EXPECT_EQ(edit.value(), u"[heo]");
    RenderSurface surface;
    ASSERT_TRUE(surface.recreate(240, 320));
    auto scroll_after = [&](KeyCode code) {
        key(code);
        root->paint(surface, {});
        return edit.scroll_x();
    };
    EXPECT_EQ(scroll_after(KeyCode::End), 0);
    edit.char_event(WString(80, u'W'));
    std::int32_t full = text_extent(edit.font().get(), edit.text(), -1, nullptr).width;
    ASSERT_GT(full, edit.width());
    EXPECT_EQ(scroll_after(KeyCode::End), full - (edit.width() - 1));
    EXPECT_EQ(scroll_after(KeyCode::Left), full - (edit.width() - 1)); // still in sight
    EXPECT_EQ(scroll_after(KeyCode::Home), 0);
    EXPECT_EQ(scroll_after(KeyCode::End), full - (edit.width() - 1));
    find<LabelEditElement>(u"name").set_visible(false);
    EXPECT_FALSE(edit.is_current());
    EXPECT_FALSE(edit.char_event(u"z"));

    int changes = counter.changes;
    edit.set_password(true);
    edit.set_text(u"abc");
    EXPECT_EQ(edit.text(), u"***");
    EXPECT_EQ(edit.value(), u"abc");
    edit.set_text(u"abc");
    EXPECT_EQ(counter.changes, changes + 1);
    edit.set_password(false);
    EXPECT_EQ(edit.text(), u"abc");
}

// Editing never splits a surrogate pair, and a single-line field turns pasted line breaks into
// spaces.
TEST(TextInputBuffer, SurrogatePairsAndLineBreaks)
{
    TextInput input;
    input.insert(u"a\U0001F600b", false);
    EXPECT_EQ(input.caret(), 4u);
    input.move_left();
    input.move_left();
    EXPECT_EQ(input.caret(), 1u);
    input.move_right();
    EXPECT_EQ(input.caret(), 3u);
    EXPECT_TRUE(input.erase_before());
    EXPECT_EQ(input.text(), u"ab");
    input.set_caret(2);
    input.insert(u"x\r\ny", false);
    EXPECT_EQ(input.text(), u"abx y");
    input.insert(u"\nz", true);
    input.move_home();
    EXPECT_EQ(input.caret(), 6u);
    input.move_end();
    EXPECT_EQ(input.caret(), 7u);
    input.set_caret(0);
    EXPECT_FALSE(input.erase_before());
}
