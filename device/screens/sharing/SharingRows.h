#pragma once

#include "common/base/Text.h"
#include "common/records/User.h"
#include "common/records/VizTask.h"
#include "device/screens/forms/ListForm.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace corvane {

// What the user list is for: picking the tree's filter user, picking a task's responsible user,
// or managing who shares a project.
enum SharingMode : std::int32_t { SelectFilter = 0, ChooseResponsible = 1, Share = 2 };

// Sections of the user list, in order.
enum SharingSection : std::int32_t { AllUsers = 0, Invitations = 1, Participants = 2, Others = 3 };
constexpr std::int32_t sharing_section_count = 4;

// Project id of a user list that is not in use, and of one without a project.
constexpr std::int32_t sharing_idle = -2;
constexpr std::int32_t sharing_no_project = -1;

// Everything the rows are made from. Pointers are borrowed for the call.
struct SharingSource {
    SharingMode mode { SelectFilter };
    std::int32_t project_id { sharing_no_project };
    const VizTask* project { nullptr }; // the record of project_id, when it is loaded
    const std::vector<User>* users { nullptr }; // the known users, in their list order
    std::int32_t current_user { -1 };
    WString all_users_text; // the caption of the row standing for every user
};

// The rows of the four sections (headers left empty). Invitations carry their address and id
// -1; user rows carry the display name and the user id.
std::vector<ListSection> sharing_rows(const SharingSource& source);

// The texts around the list. A mode leaves some of them as they were, so the set lives as long
// as the screen.
struct SharingTitles {
    WString screen;
    WString sections[sharing_section_count];
    WString invite;
    bool invite_shown { false };
};
// Sets the texts the mode owns, translated and with "%name%" replaced by the project title.
void update_sharing_titles(SharingTitles& titles, SharingMode mode, bool has_project,
    WStringView project_title, const std::function<WString(WStringView)>& translate);

// Which parts of a row element are shown.
struct SharingRowLook {
    bool add { false };
    bool remove { false };
    bool icons { false };
    bool more { false };
};
SharingRowLook sharing_row_look(SharingMode mode, std::int32_t section, bool row_enabled);

// What a press of a row (or of its "add" or "confirm_remove") asks for.
struct SharingAction {
    enum class Kind { None, ChangePermission, SelectFilter, ChooseResponsible };
    Kind kind { Kind::None };
    WString address; // ChangePermission: account or e-mail address
    std::int32_t level { 0 }; // ChangePermission: 2 shares, 0 withdraws
    std::int32_t user_id { -1 }; // SelectFilter, ChooseResponsible
};
SharingAction sharing_press(
    SharingMode mode, std::int32_t section, const ListRow& row, const std::vector<User>& users);
// The address typed into "email" is sent as it is: the service judges it.
SharingAction sharing_invite(WStringView address);

} // namespace corvane
