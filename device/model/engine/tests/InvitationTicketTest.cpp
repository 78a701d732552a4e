#include "device/model/engine/InvitationTicket.h"
#include "device/core/Registry.h"
#include "device/core/testing/TestEnvironment.h"
#include "device/model/engine/IdQueue.h"
#include "device/model/engine/ServiceUrl.h"

#include <gtest/gtest.h>

using namespace corvane;

// The text between the markers, control characters dropped. Nothing between the markers,
// markers out of order (judged by the first of each: an end marker before the start spoils the
// pair that follows) or missing: the clipboard is left alone.
TEST(InvitationTicket, the_text_between_the_markers)
{
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        { u"Hello\r\n--START-OF-TICKET--\r\nab12cd\r\n--END-OF-TICKET--\r\nBye", u"ab12cd" },
        { u"--START-OF-TICKET-- x y --END-OF-TICKET--", u" x y " },
        { u"--START-OF-TICKET----END-OF-TICKET--", nullptr },
        { u"--START-OF-TICKET--\r\n--END-OF-TICKET--", nullptr },
        { u"--END-OF-TICKET--abc--START-OF-TICKET--", nullptr },
        { u"--END-OF-TICKET--\n--START-OF-TICKET--abc--END-OF-TICKET--", nullptr },
        { u"--START-OF-TICKET--abc", nullptr },
        { u"", nullptr },
    };
    for (const auto& [text, ticket] : cases)
        EXPECT_EQ(extract_ticket(text), ticket ? std::optional<WString>(ticket) : std::nullopt)
            << to_utf8(text);
}

TEST(IdQueue, keeps_each_id_once_in_arrival_order)
{
    IdQueue queue;
    queue.push(5);
    queue.push(3);
    queue.push(5);
    EXPECT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue.front(), 5);
    EXPECT_EQ(queue.pop(), 5);
    EXPECT_EQ(queue.pop(), 3);
    EXPECT_FALSE(queue.pop());
    queue.push(5); // a popped id may come again
    EXPECT_TRUE(queue.contains(5));
}

// The command line wins over the settings, which win over the local default.
TEST(ServiceUrl, command_line_then_settings_then_default)
{
    test::TestEnvironment env;
    EXPECT_EQ(resolve_service_url(u""), u"http://127.0.0.1:8080/");
    ASSERT_TRUE(reg_write_string(u"HKEY_CURRENT_USER\\Software\\Ulmar\\Corvane", u"ServiceURL",
        u"https://tasks.example.org/viz"));
    EXPECT_EQ(resolve_service_url(u""), u"https://tasks.example.org/viz/");
    EXPECT_EQ(resolve_service_url(u"http://127.0.0.2:9000/"), u"http://127.0.0.2:9000/");
}
