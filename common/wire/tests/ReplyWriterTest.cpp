#include "common/wire/ReplyWriter.h"
#include "common/wire/WireUtf8.h"
#include "device/rpc/ReplyReader.h"

#include "common/wire/WireText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

using namespace corvane;

// Values come out last saved first; strings are quoted and escaped in table order.
TEST(ReplyWriter, writes_the_reply_form)
{
    ReplyWriter writer;
    writer.save_int(7);
    writer.save_int(9);
    WString text;
    writer.finish(text);
    EXPECT_EQ(text, u"//OK[9,7,[],0,3]");

    writer.save_int(7);
    writer.save_int(9);
    writer.save_string(u"a b");
    writer.save_string(u"c");
    writer.save_string(u"a b");
    writer.finish(text);
    EXPECT_EQ(text, u"//OK[1,2,1,9,7,[\"a\\x20b\",\"c\"],0,3]");

    // finish() leaves the writer empty for the next reply.
    writer.save_int(-1);
    writer.finish(text, ReplyOutcome::Exception);
    EXPECT_EQ(text, u"//EX[-1,[],0,3]");

    // 64-bit values are hexadecimal texts in the string table, referenced like any other.
    writer.save_int64(255);
    writer.save_int64(-1);
    writer.save_int64(255);
    writer.finish(text);
    EXPECT_EQ(text, u"//OK[1,2,1,[\"ff\",\"ffffffffffffffff\"],0,3]");
}

// A comma is escaped only where the closing quote would make it a separator; ordinary text
// goes out as the reply form's own table says, so a reader without "\x2c" shows it right.
TEST(ReplyWriter, escapes_every_character_that_could_end_a_string)
{
    ReplyWriter writer;
    writer.save_string(u"\\\" \r\n,x");
    writer.save_string(u"Milk, bread");
    writer.save_string(u"a\",");
    writer.save_string(u"b,[");
    writer.save_string(u",[x");
    WString text;
    writer.finish(text);
    EXPECT_EQ(text,
        u"//OK[5,4,3,2,1,[\"\\\\\\\"\\x20\\r\\n,x\",\"Milk,\\x20bread\",\"a\\\"\\x2c\",\"b\\x2c[\","
        u"\",[x\"],0,3]");
}

namespace {

// The reply form read exactly as its description says, without the project reader's
// knowledge of "\x2c" placement: split at comma-bracket-quote into exactly two parts, the
// strings at quote-comma-quote, then undo the escapes.
std::optional<std::vector<WString>> split_reply_strings(WStringView text)
{
    const WStringView prefix = u"//OK[", suffix = u"\"],0,3]";
    if (!text.starts_with(prefix) || !text.ends_with(suffix)
        || text.size() < prefix.size() + suffix.size())
        return std::nullopt;
    WStringView body = text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    std::size_t separator = body.find(u",[\"");
    if (separator == WStringView::npos || body.find(u",[\"", separator + 3) != WStringView::npos)
        return std::nullopt;
    WStringView strings = body.substr(separator + 3);
    std::vector<WString> out;
    for (;;) {
        std::size_t end = strings.find(u"\",\"");
        WStringView piece = strings.substr(0, end);
        WString plain(piece.size(), u'\0');
        char16_t* last
            = unescape_reply_string(piece.data(), piece.data() + piece.size(), plain.data());
        plain.resize(std::size_t(last - plain.data()));
        out.push_back(std::move(plain));
        if (end == WStringView::npos)
            return out;
        strings.remove_prefix(end + 3);
    }
}

} // namespace

// Any text comes back both from the project's reader, through UTF-8, and from the literal
// split above, in both space forms. Texts that look like the form's own separators, escapes or
// trailer go first: written with the old escape set and read by replacements in turn, "x\","
// split the string list, "a,[" made it three parts and "\x20" came back as a space. Random mixes
// of those characters, plain ASCII and two- and three-byte letters follow; the reader widens up
// to sixteen bytes at a time and must stop exactly at each byte that needs attention. A comma is
// escaped only where the closing quote would complete a separator, and the bytes the service
// sends are the reply text's encoding.
TEST(ReplyWriter, every_text_survives_the_reader_and_the_literal_split)
{
    const std::vector<WString> tricky = { u"x\",", u"a,[", u",[\"", u"\",\"", u"\"],0,3]",
        u",[],0,3]", u"\\x20", u"\\\\n\\r", u"\\", u"trailing\\", u"",
        u"Задача: купить молоко\r\nи хлеб",
        u"\U0001F600 \uFFFF " + WString(1, char16_t(0xD800)) + u" " + WString(1, char16_t(0xDFFF)),
        WString(u"nul\0inside", 10), u"12,34" };
    const char16_t pieces[] = { u'"', u',', u'[', u']', u'\\', u' ', u'\r', u'\n', u'a', u'x', u'2',
        u'c', u'0', u'д', u'€', u'中' };
    std::uint32_t seed = 2024;
    auto next = [&seed]() {
        seed = seed * 1664525 + 1013904223;
        return seed >> 8;
    };
    for (SpaceForm spaces : { SpaceForm::Escaped, SpaceForm::Plain }) {
        for (int round = 0; round < 300; ++round) {
            std::vector<WString> texts, candidates = round == 0 ? tricky : std::vector<WString>(4);
            std::vector<std::int32_t> values;
            ReplyWriter writer(spaces), bytes_writer(spaces);
            for (WString& text : candidates) {
                for (std::size_t length = round ? 1 + next() % 40 : 0; length; --length)
                    text.push_back(pieces[next() % std::size(pieces)]);
                if (std::find(texts.begin(), texts.end(), text) != texts.end())
                    continue; // The table holds each text once.
                texts.push_back(text);
                values.push_back(std::int32_t(next() % 2001) - 1000);
                for (ReplyWriter* w : { &writer, &bytes_writer }) {
                    w->save_string(text);
                    w->save_int(values.back());
                }
            }
            WString reply;
            writer.finish(reply);
            std::string bytes;
            bytes_writer.finish_utf8(bytes);
            ASSERT_EQ(bytes, encode_wire_utf8(reply));
            ReplyReader reader;
            ASSERT_TRUE(reader.parse(bytes));
            for (std::size_t i = 0; i < texts.size(); ++i) {
                ASSERT_EQ(reader.load_string(), texts[i]) << to_utf8(texts[i]);
                ASSERT_EQ(reader.load_int(), values[i]);
            }
            EXPECT_FALSE(reader.has_error());
            EXPECT_EQ(reader.remaining(), 0u);

            std::size_t needed = 0, escapes = 0;
            for (const WString& text : texts)
                needed += text.ends_with(u"\",") || text.ends_with(u",[");
            for (std::size_t at = 0; at + 1 < reply.size(); ++at) {
                if (reply[at] != u'\\')
                    continue;
                escapes += reply.compare(at, 4, u"\\x2c") == 0;
                at += reply[at + 1] == u'x' ? 3 : 1; // Past the whole escape.
            }
            EXPECT_EQ(escapes, needed) << to_utf8(reply);
            std::optional<std::vector<WString>> read = split_reply_strings(reply);
            ASSERT_TRUE(read) << to_utf8(reply);
            ASSERT_EQ(*read, texts) << to_utf8(reply);
        }
    }
}
