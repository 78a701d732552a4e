#include "device/screens/sharing/SharingRows.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

// Users 1..4 in list order; the project is shared with users 2 and 4 (in that order), has one
// pending invitation, and names user 9, whom the device does not know yet.
struct SharedProject {
    std::vector<User> users { User { u"ann@x.org", 1, u"Ann" }, User { u"bob@x.org", 2, u"" },
        User { u"cid@x.org", 3, u"Cid" }, User { u"dan@x.org", 4, u"Dan" } };
    VizTask project;

    SharedProject()
    {
        project.id = 40;
        project.parentId = 0;
        project.title = u"Garden\nthe long description";
        project.permissions
            = { { 2, u"", 4 }, { 2, u"new@x.org", 0 }, { 2, u"", 9 }, { 2, u"", 2 } };
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

// The sections as one line: each row as caption#id with its marks (c checked, d disabled) and
// the buttons its look gives it (a add, r remove, i icons, m more); sections split by " | ".
std::string shape(SharingMode mode, const std::vector<ListSection>& sections)
{
    std::string out;
    for (std::int32_t section = 0; section < std::int32_t(sections.size()); ++section) {
        out += section ? " | " : "";
        for (const ListRow& row : sections[section].rows) {
            SharingRowLook look = sharing_row_look(mode, section, row.enabled);
            out += (out.ends_with(" ") || out.empty() ? "" : " ") + to_utf8(row.text) + "#"
                + std::to_string(row.id) + "/" + (row.checked ? "c" : "") + (row.enabled ? "" : "d")
                + (look.add ? "a" : "") + (look.remove ? "r" : "") + (look.icons ? "i" : "")
                + (look.more ? "m" : "");
        }
    }
    return out;
}

} // namespace

// Choosing a responsible user offers only the project's known participants (a participant
// without a name shows the account): no "all users", no invitations, no users of other
// projects. Sharing lists the invitation by address with "remove"; known participants are
// disabled and cannot be removed, and no current user is marked; the other users, in list
// order, stay pressable so that "add" works. Picking the filter user lists "all users", then
// the participants, then everybody else once, with the current user checked wherever it is.
// Without a project the first known user is not listed twice, whatever the mode; a project
// whose record is not loaded yet has no participants to show; an idle screen has no rows.
// A participant listed twice by the service still gets one row.
TEST(SharingRows, rows_per_mode_and_project)
{
    enum Project { Loaded, NoProject, NotLoaded, Idle, NoProjectNorUsers };
    struct Case {
        SharingMode mode;
        std::int32_t current;
        Project project;
        std::string shape;
    };
    const Case cases[] = {
        { ChooseResponsible, 2, Loaded, " |  | Dan#4/m bob@x.org#2/cm | " },
        { Share, 2, Loaded, " | new@x.org#-1/ri | Dan#4/di bob@x.org#2/di | Ann#1/ai Cid#3/ai" },
        { SelectFilter, 3, Loaded, "Everybody#-1/m |  | Dan#4/m bob@x.org#2/m | Ann#1/m Cid#3/cm" },
        { SelectFilter, -1, Loaded,
            "Everybody#-1/cm |  | Dan#4/m bob@x.org#2/m | Ann#1/m Cid#3/m" },
        { SelectFilter, 3, NoProject,
            "Everybody#-1/m |  |  | Ann#1/m bob@x.org#2/m Cid#3/cm Dan#4/m" },
        { ChooseResponsible, -1, NoProject, " |  |  | Ann#1/m" },
        { Share, -1, NoProject, " |  |  | Ann#1/ai bob@x.org#2/ai Cid#3/ai Dan#4/ai" },
        { Share, -1, NotLoaded, " |  |  | Ann#1/ai bob@x.org#2/ai Cid#3/ai Dan#4/ai" },
        { Share, -1, Idle, " |  |  | " },
        { SelectFilter, -1, NoProjectNorUsers, "Everybody#-1/cm |  |  | " },
    };
    for (const Case& c : cases) {
        SharedProject data;
        SharingSource source = data.source(c.mode, c.current);
        std::vector<User> nobody;
        if (c.project != Loaded)
            source.project = nullptr;
        if (c.project == NoProject || c.project == NoProjectNorUsers)
            source.project_id = sharing_no_project;
        if (c.project == Idle)
            source.project_id = sharing_idle;
        if (c.project == NoProjectNorUsers)
            source.users = &nobody;
        EXPECT_EQ(shape(c.mode, sharing_rows(source)), c.shape)
            << "mode " << c.mode << " project " << c.project;
    }

    SharedProject data;
    data.project.permissions = { { 2, u"", 2 }, { 2, u"", 2 } };
    EXPECT_EQ(shape(ChooseResponsible, sharing_rows(data.source(ChooseResponsible))),
        " |  | bob@x.org#2/m | ");
}

// Presses in sharing mode send the user's account (never the display name) or the invitation's
// address, with level 2 to share and 0 to withdraw; the pickers hand over the row's id, "all
// users" included. A user who vanished from the known users between building and pressing
// gets nothing sent.
// Titles carry the project's first line; each mode sets only its own texts and keeps the rest.
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

    // The screen's title, the four section headers and the invitation (when shown), one line.
    SharingTitles titles;
    auto update = [&](SharingMode mode, bool has_project, WStringView project) {
        update_sharing_titles(titles, mode, has_project, project,
            [](WStringView key) { return WString(key) + u"[%name%]"; });
        std::string out = to_utf8(titles.screen);
        for (const WString& header : titles.sections)
            out += " | " + to_utf8(header);
        return out + (titles.invite_shown ? " | " + to_utf8(titles.invite) : "");
    };
    // Section 0 never has a header.
    EXPECT_EQ(update(Share, true, u"Garden"),
        "TitleSharing[Garden] |  | InvitationsToProject[Garden] | ParticipantsOfProject[Garden] | "
        "ParticipantsOfOtherProjects[Garden] | InviteToProject[Garden]");
    EXPECT_EQ(update(ChooseResponsible, true, u"Roof"),
        "TitleAssignedTo[Roof] |  | InvitationsToProject[Garden] | ParticipantsOfProject[Roof] | "
        "ParticipantsOfOtherProjects[Garden]");
    EXPECT_EQ(update(SelectFilter, false, u""),
        "TitleUsersSelect[] |  | InvitationsToProject[Garden] | ParticipantsOfProject[Roof] | "
        "ParticipantsOfOtherProjects[Garden]");
    EXPECT_EQ(update(SelectFilter, true, u"Shed"),
        "TitleUsersSelect[Shed] |  | InvitationsToProject[Shed] | ParticipantsOfProject[Shed] | "
        "ParticipantsOfOtherProjects[Shed]");
}
