#include "device/screens/sharing/SharingRows.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

User make_user(std::int32_t id, WString account, WString name = {})
{
    User user;
    user.id = id;
    user.account = std::move(account);
    user.name = std::move(name);
    return user;
}

Permission grant(std::int32_t user_id, WString email = {})
{
    Permission permission;
    permission.level = 2;
    permission.userId = user_id;
    permission.email = std::move(email);
    return permission;
}

// Users 1..4 in list order; the project is shared with users 2 and 4 (in that order), has one
// pending invitation, and names user 9, whom the device does not know yet.
struct SharedProject {
    std::vector<User> users { make_user(1, u"ann@x.org", u"Ann"), make_user(2, u"bob@x.org"),
        make_user(3, u"cid@x.org", u"Cid"), make_user(4, u"dan@x.org", u"Dan") };
    VizTask project;

    SharedProject()
    {
        project.id = 40;
        project.parentId = 0;
        project.title = u"Garden\nthe long description";
        project.permissions = { grant(4), grant(0, u"new@x.org"), grant(9), grant(2) };
    }

    SharingSource source(SharingMode mode, std::int32_t current = -1) const
    {
        SharingSource s;
        s.mode = mode;
        s.project_id = project.id;
        s.project = &project;
        s.users = &users;
        s.current_user = current;
        s.all_users_text = u"Everybody";
        return s;
    }
};

std::vector<std::int32_t> ids(const ListSection& section)
{
    std::vector<std::int32_t> out;
    for (const ListRow& row : section.rows)
        out.push_back(row.id);
    return out;
}

using Ids = std::vector<std::int32_t>;

} // namespace

// Choosing a responsible user offers only the project's known participants: no "all users",
// no invitations, no users of other projects.
TEST(SharingRows, responsible_mode_lists_only_known_participants)
{
    SharedProject data;
    auto sections = sharing_rows(data.source(ChooseResponsible, 2));
    ASSERT_EQ(sections.size(), 4u);
    EXPECT_TRUE(sections[AllUsers].rows.empty());
    EXPECT_TRUE(sections[Invitations].rows.empty());
    EXPECT_EQ(ids(sections[Participants]), (Ids { 4, 2 }));
    EXPECT_TRUE(sections[Others].rows.empty());
    EXPECT_FALSE(sections[Participants].rows[0].checked);
    EXPECT_TRUE(sections[Participants].rows[1].checked);
    EXPECT_TRUE(sections[Participants].rows[0].enabled);
    // A participant without a name shows the account.
    EXPECT_EQ(sections[Participants].rows[1].text, u"bob@x.org");
}

// Sharing lists the invitation by address in section 1 with "remove" and no "add"; known
// participants are disabled and cannot be removed; other users can be added.
TEST(SharingRows, share_mode_rows_and_their_buttons)
{
    SharedProject data;
    auto sections = sharing_rows(data.source(Share, 2));
    EXPECT_TRUE(sections[AllUsers].rows.empty());
    ASSERT_EQ(sections[Invitations].rows.size(), 1u);
    const ListRow& invitation = sections[Invitations].rows[0];
    EXPECT_EQ(invitation.text, u"new@x.org");
    EXPECT_EQ(invitation.id, -1);
    EXPECT_TRUE(invitation.enabled);
    SharingRowLook look = sharing_row_look(Share, Invitations, invitation.enabled);
    EXPECT_TRUE(look.remove);
    EXPECT_FALSE(look.add);
    EXPECT_TRUE(look.icons);
    EXPECT_FALSE(look.more);

    EXPECT_EQ(ids(sections[Participants]), (Ids { 4, 2 }));
    for (const ListRow& row : sections[Participants].rows) {
        EXPECT_FALSE(row.enabled);
        EXPECT_FALSE(row.checked) << "sharing never marks a current user";
        SharingRowLook participant = sharing_row_look(Share, Participants, row.enabled);
        EXPECT_FALSE(participant.remove);
        EXPECT_FALSE(participant.add);
    }

    // Users 1 and 3 are left, in list order, and stay pressable so that "add" works.
    EXPECT_EQ(ids(sections[Others]), (Ids { 1, 3 }));
    for (const ListRow& row : sections[Others].rows) {
        EXPECT_TRUE(row.enabled);
        SharingRowLook other = sharing_row_look(Share, Others, row.enabled);
        EXPECT_TRUE(other.add);
        EXPECT_FALSE(other.remove);
    }
}

// Picking the filter user: "all users" first, then participants, then everybody else once;
// the current user is checked wherever it is listed.
TEST(SharingRows, filter_mode_lists_everybody_once)
{
    SharedProject data;
    auto sections = sharing_rows(data.source(SelectFilter, 3));
    ASSERT_EQ(sections[AllUsers].rows.size(), 1u);
    EXPECT_EQ(sections[AllUsers].rows[0].text, u"Everybody");
    EXPECT_EQ(sections[AllUsers].rows[0].id, -1);
    EXPECT_FALSE(sections[AllUsers].rows[0].checked);
    EXPECT_TRUE(sections[Invitations].rows.empty()) << "invitations show only when sharing";
    EXPECT_EQ(ids(sections[Participants]), (Ids { 4, 2 }));
    EXPECT_EQ(ids(sections[Others]), (Ids { 1, 3 }));
    EXPECT_TRUE(sections[Others].rows[1].checked);
    EXPECT_FALSE(sections[Others].rows[0].checked);
    SharingRowLook look = sharing_row_look(SelectFilter, Others, true);
    EXPECT_FALSE(look.add);
    EXPECT_FALSE(look.remove);
    EXPECT_FALSE(look.icons);
    EXPECT_TRUE(look.more);

    auto all = sharing_rows(data.source(SelectFilter, -1));
    EXPECT_TRUE(all[AllUsers].rows[0].checked);
}

// Without a project the first known user is not listed twice, whatever the mode.
TEST(SharingRows, no_project_lists_the_first_user_once)
{
    SharedProject data;
    for (SharingMode mode : { SelectFilter, ChooseResponsible, Share }) {
        SharingSource source = data.source(mode, 1);
        source.project_id = sharing_no_project;
        source.project = nullptr;
        auto sections = sharing_rows(source);
        EXPECT_TRUE(sections[Invitations].rows.empty());
        EXPECT_TRUE(sections[Participants].rows.empty());
        if (mode == ChooseResponsible)
            EXPECT_EQ(ids(sections[Others]), (Ids { 1 })) << "mode " << mode;
        else
            EXPECT_EQ(ids(sections[Others]), (Ids { 1, 2, 3, 4 })) << "mode " << mode;
    }
    SharingSource empty = data.source(SelectFilter);
    std::vector<User> nobody;
    empty.users = &nobody;
    empty.project_id = sharing_no_project;
    auto sections = sharing_rows(empty);
    EXPECT_EQ(sections[AllUsers].rows.size(), 1u);
    EXPECT_TRUE(sections[Others].rows.empty());
}

// A project whose record is not loaded yet has no participants to show; an idle screen has no
// rows at all.
TEST(SharingRows, unloaded_project_and_idle_screen)
{
    SharedProject data;
    SharingSource source = data.source(Share);
    source.project = nullptr;
    auto sections = sharing_rows(source);
    EXPECT_TRUE(sections[Participants].rows.empty());
    EXPECT_EQ(ids(sections[Others]), (Ids { 1, 2, 3, 4 }));

    source.project_id = sharing_idle;
    for (const ListSection& section : sharing_rows(source))
        EXPECT_TRUE(section.rows.empty());
}

// A participant listed twice by the service still gets one row.
TEST(SharingRows, repeated_participant_is_listed_once)
{
    SharedProject data;
    data.project.permissions = { grant(2), grant(2) };
    auto sections = sharing_rows(data.source(ChooseResponsible));
    EXPECT_EQ(ids(sections[Participants]), (Ids { 2 }));
}

// Presses in sharing mode send the user's account (never the display name) or the invitation's
// address, with level 2 to share and 0 to withdraw; the pickers hand over the row's id, "all
// users" included. A user who vanished from the known users between building and pressing
// gets nothing sent.
TEST(SharingRows, presses_name_accounts_levels_and_ids)
{
    using Kind = SharingAction::Kind;
    SharedProject data;
    ListRow gone;
    gone.text = u"Gone";
    gone.id = 77;
    struct Case {
        SharingMode mode;
        std::int32_t section;
        std::int32_t row; // -1: the vanished user
        Kind kind;
        WString address;
        std::int32_t level;
        std::int32_t user_id;
    };
    for (const Case& c : std::vector<Case> {
             { Share, Others, 0, Kind::ChangePermission, u"ann@x.org", 2, 0 },
             { Share, Invitations, 0, Kind::ChangePermission, u"new@x.org", 0, 0 },
             { Share, Participants, 0, Kind::ChangePermission, u"dan@x.org", 0, 0 },
             { Share, Others, -1, Kind::None, u"", 0, 0 },
             { Share, Participants, -1, Kind::None, u"", 0, 0 },
             { SelectFilter, AllUsers, 0, Kind::SelectFilter, u"", 0, -1 },
             { ChooseResponsible, Participants, 1, Kind::ChooseResponsible, u"", 0, 2 },
         }) {
        auto sections = sharing_rows(data.source(c.mode));
        const ListRow& row = c.row < 0 ? gone : sections.at(c.section).rows.at(c.row);
        SharingAction action = sharing_press(c.mode, c.section, row, data.users);
        std::string where = "mode " + std::to_string(c.mode) + " section "
            + std::to_string(c.section) + " row " + std::to_string(c.row);
        EXPECT_EQ(action.kind, c.kind) << where;
        if (c.kind == Kind::ChangePermission) {
            EXPECT_EQ(action.address, c.address) << where;
            EXPECT_EQ(action.level, c.level) << where;
        } else if (c.kind != Kind::None) {
            EXPECT_EQ(action.user_id, c.user_id) << where;
        }
    }
}

// Titles carry the project's first line; each mode sets only its own texts and keeps the rest.
TEST(SharingRows, titles_per_mode)
{
    auto translate = [](WStringView key) { return WString(key) + u"[%name%]"; };
    SharingTitles titles;
    update_sharing_titles(titles, Share, true, u"Garden", translate);
    EXPECT_EQ(titles.screen, u"TitleSharing[Garden]");
    EXPECT_EQ(titles.sections[Invitations], u"InvitationsToProject[Garden]");
    EXPECT_EQ(titles.sections[Participants], u"ParticipantsOfProject[Garden]");
    EXPECT_EQ(titles.sections[Others], u"ParticipantsOfOtherProjects[Garden]");
    EXPECT_TRUE(titles.invite_shown);
    EXPECT_EQ(titles.invite, u"InviteToProject[Garden]");
    EXPECT_TRUE(titles.sections[AllUsers].empty()) << "section 0 never has a header";

    update_sharing_titles(titles, ChooseResponsible, true, u"Roof", translate);
    EXPECT_EQ(titles.screen, u"TitleAssignedTo[Roof]");
    EXPECT_EQ(titles.sections[Participants], u"ParticipantsOfProject[Roof]");
    EXPECT_EQ(titles.sections[Invitations], u"InvitationsToProject[Garden]");
    EXPECT_EQ(titles.sections[Others], u"ParticipantsOfOtherProjects[Garden]");
    EXPECT_FALSE(titles.invite_shown);

    update_sharing_titles(titles, SelectFilter, false, u"", translate);
    EXPECT_EQ(titles.screen, u"TitleUsersSelect[]");
    EXPECT_EQ(titles.sections[Participants], u"ParticipantsOfProject[Roof]");
    update_sharing_titles(titles, SelectFilter, true, u"Shed", translate);
    EXPECT_EQ(titles.sections[Invitations], u"InvitationsToProject[Shed]");
}
