#include "device/screens/sharing/SharingRows.h"

#include <algorithm>

namespace corvane {

namespace {

    constexpr std::int32_t level_share = 2;
    constexpr std::int32_t level_withdraw = 0;

    const User* find_user(const std::vector<User>& users, std::int32_t id)
    {
        auto it = std::find_if(
            users.begin(), users.end(), [id](const User& user) { return user.id == id; });
        return it == users.end() ? nullptr : &*it;
    }

    ListRow user_row(const User& user, bool checked, bool enabled)
    {
        ListRow row;
        row.text = user.display_name();
        row.id = user.id;
        row.checked = checked;
        row.enabled = enabled;
        return row;
    }

} // namespace

std::vector<ListSection> sharing_rows(const SharingSource& source)
{
    static const std::vector<User> no_users;
    const std::vector<User>& users = source.users ? *source.users : no_users;
    SharingMode mode = source.mode;
    std::vector<ListSection> sections(sharing_section_count);
    if (source.project_id == sharing_idle)
        return sections;

    // Users not yet placed; each known user appears in one row at most.
    std::vector<bool> left(users.size(), mode != ChooseResponsible);
    auto take = [&](std::int32_t id) {
        for (std::size_t i = 0; i < users.size(); ++i) {
            if (users[i].id == id)
                left[i] = false;
        }
    };
    bool picking = mode != Share;

    if (mode == SelectFilter) {
        ListRow all;
        all.text = source.all_users_text;
        all.id = -1;
        all.checked = source.current_user == -1;
        sections[AllUsers].rows.push_back(std::move(all));
    }

    if (source.project_id == sharing_no_project) {
        // Without a project the first known user leads the other users, and is listed once.
        if (!users.empty()) {
            sections[Others].rows.push_back(user_row(users.front(), false, true));
            take(users.front().id);
        }
    } else if (source.project) {
        for (const Permission& permission : source.project->permissions) {
            if (permission.userId == 0) {
                if (mode == Share) {
                    ListRow invitation;
                    invitation.text = permission.email;
                    invitation.id = -1;
                    sections[Invitations].rows.push_back(std::move(invitation));
                }
                continue;
            }
            const User* user = find_user(users, permission.userId);
            if (!user)
                continue; // listed once the users arrive
            bool already = std::any_of(sections[Participants].rows.begin(),
                sections[Participants].rows.end(),
                [&](const ListRow& row) { return row.id == user->id; });
            if (already)
                continue;
            sections[Participants].rows.push_back(
                user_row(*user, picking && user->id == source.current_user, mode != Share));
            take(user->id);
        }
    }

    if (mode != ChooseResponsible) {
        // Enabled in sharing too: the row's "add" is what shares the project with that user.
        for (std::size_t i = 0; i < users.size(); ++i) {
            if (left[i])
                sections[Others].rows.push_back(
                    user_row(users[i], picking && users[i].id == source.current_user, true));
        }
    }
    return sections;
}

void update_sharing_titles(SharingTitles& titles, SharingMode mode, bool has_project,
    WStringView project_title, const std::function<WString(WStringView)>& translate)
{
    auto text = [&](WStringView key) {
        return replace_placeholder(translate(key), u"%name%", project_title);
    };
    switch (mode) {
    case SelectFilter:
        titles.screen = text(u"TitleUsersSelect");
        if (has_project) {
            titles.sections[Invitations] = text(u"InvitationsToProject");
            titles.sections[Participants] = text(u"ParticipantsOfProject");
            titles.sections[Others] = text(u"ParticipantsOfOtherProjects");
        }
        titles.invite_shown = false;
        break;
    case ChooseResponsible:
        titles.screen = text(u"TitleAssignedTo");
        titles.sections[Participants] = text(u"ParticipantsOfProject");
        titles.invite_shown = false;
        break;
    case Share:
        titles.screen = text(u"TitleSharing");
        titles.sections[Invitations] = text(u"InvitationsToProject");
        titles.sections[Participants] = text(u"ParticipantsOfProject");
        titles.sections[Others] = text(u"ParticipantsOfOtherProjects");
        titles.invite = text(u"InviteToProject");
        titles.invite_shown = true;
        break;
    }
}

SharingRowLook sharing_row_look(SharingMode mode, std::int32_t section, bool row_enabled)
{
    SharingRowLook look;
    bool sharing = mode == Share;
    look.add = sharing && section == Others;
    look.remove = sharing && section != Others && row_enabled;
    look.icons = sharing;
    look.more = !sharing;
    return look;
}

SharingAction sharing_press(
    SharingMode mode, std::int32_t section, const ListRow& row, const std::vector<User>& users)
{
    SharingAction action;
    switch (mode) {
    case SelectFilter:
        action.kind = SharingAction::Kind::SelectFilter;
        action.user_id = row.id;
        break;
    case ChooseResponsible:
        action.kind = SharingAction::Kind::ChooseResponsible;
        action.user_id = row.id;
        break;
    case Share:
        if (section == Others) {
            if (const User* user = find_user(users, row.id)) {
                action.kind = SharingAction::Kind::ChangePermission;
                action.address = user->account;
                action.level = level_share;
            }
        } else if (section == Invitations || section == Participants) {
            if (row.id == -1) {
                action.kind = SharingAction::Kind::ChangePermission;
                action.address = row.text;
                action.level = level_withdraw;
            } else if (const User* user = find_user(users, row.id)) {
                action.kind = SharingAction::Kind::ChangePermission;
                action.address = user->account;
                action.level = level_withdraw;
            }
        }
        break;
    }
    return action;
}

SharingAction sharing_invite(WStringView address)
{
    SharingAction action;
    action.kind = SharingAction::Kind::ChangePermission;
    action.address = WString(address);
    action.level = level_share;
    return action;
}

} // namespace corvane
