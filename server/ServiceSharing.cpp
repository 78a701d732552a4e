#include "server/Service.h"

#include "server/IdempotencyScope.h"
#include "server/Secrets.h"
#include "server/ServerLog.h"
#include "server/UserView.h"
#include "server/Validation.h"

#include "common/base/Text.h"

#include <set>

namespace corvane::server {

static constexpr std::size_t max_ticket_units = 1000;

struct Service::PendingTicket {
    int invitation_id { 0 };
    Text address;
    Text project_title;
    Text ticket;
};

void Service::write_share_change(StorageTransaction& transaction, const TaskRow& project,
    ChangeKind kind, const std::u16string& text, int user_id, int author_id)
{
    ChangeRow change;
    change.change_id = transaction.next_seq();
    change.task_id = project.id;
    change.project_id = project.id;
    change.kind = int(kind);
    change.text = text;
    change.time = m_clock.now_ms();
    change.user_id = user_id;
    change.author_id = author_id;
    transaction.insert_change(change);
    transaction.insert_event({ change.change_id, EventKind::Change, project.id, 0, project.id, 0 });
}

std::u16string Service::issue_ticket(StorageTransaction& transaction, const TaskRow& project,
    const std::u16string& address, int level, int inviter_id, int& invitation_id)
{
    Text ticket = random_hex(20);
    InvitationRow invitation;
    invitation.project_id = project.id;
    invitation.address = address;
    invitation.level = level;
    invitation.inviter_id = inviter_id;
    invitation.expires = m_clock.now_ms() + m_config.invitation_lifetime_ms;
    invitation_id = transaction.insert_invitation(invitation, key_digest(ticket));
    return ticket;
}

// The rules of changePermission. `as_operator` skips the caller's rights (the set-level
// command acts for the project's owner). A new ticket is left in `pending` for delivery once
// the transaction has committed.
Service::ShareResult Service::apply_permission(StorageTransaction& transaction, UserView& view,
    int author_id, const TaskRow& project, const std::u16string& text, int level, bool as_operator,
    PendingTicket* pending)
{
    std::optional<Access> caller = view.access(project.id);
    bool is_owner = as_operator || (caller && caller->level == owner_level);
    bool may_share = is_owner || (caller && caller->level == 2);
    Text address = normalise_address(text);
    std::optional<UserRow> user
        = address.empty() ? std::nullopt : transaction.find_user_by_account(address);
    std::int64_t now = m_clock.now_ms();

    if (level == 0) {
        if (user && user->id == project.owner_id)
            return ShareResult::Refused; // The owner cannot be removed.
        if (user) {
            std::optional<PermissionRow> held = transaction.find_permission(project.id, user->id);
            bool leaving = user->id == author_id && !as_operator;
            if (held && (is_owner || leaving)) {
                transaction.delete_permission(project.id, user->id);
                transaction.delete_invitations_issued_by(project.id, user->id);
                write_share_change(
                    transaction, project, ChangeKind::Unshare, {}, user->id, author_id);
                transaction.insert_event({ transaction.next_seq(), EventKind::AccessLost,
                    project.id, 0, project.id, user->id });
                return ShareResult::Done;
            }
        }
        if (may_share) {
            std::optional<InvitationRow> invitation
                = transaction.find_invitation(project.id, address);
            if (invitation) {
                transaction.delete_invitation(invitation->id);
                write_share_change(
                    transaction, project, ChangeKind::Unshare, address, 0, author_id);
                return ShareResult::Done;
            }
        }
        return ShareResult::Refused;
    }
    if ((level != 1 && level != 2) || !may_share || !is_valid_address(address))
        return ShareResult::Refused;
    if (user) {
        if (user->id == project.owner_id)
            return ShareResult::Done; // Owning is more than any level: nothing to grant.
        std::optional<PermissionRow> held = transaction.find_permission(project.id, user->id);
        if (held) {
            if (held->level != level) {
                transaction.set_permission_level(project.id, user->id, level);
                if (level < 2) // No longer allowed to share: what they shared ends.
                    transaction.delete_invitations_issued_by(project.id, user->id);
                transaction.insert_event({ transaction.next_seq(), EventKind::LevelChanged,
                    project.id, 0, project.id, user->id });
            }
            return ShareResult::Done;
        }
        write_share_change(transaction, project, ChangeKind::Share, {}, user->id, author_id);
        std::int64_t seq = transaction.next_seq();
        transaction.insert_permission({ project.id, user->id, level, seq, {} });
        transaction.add_member_ever(project.id, user->id);
        transaction.insert_event(
            { seq, EventKind::AccessGained, project.id, 0, project.id, user->id });
        return ShareResult::Done;
    }
    std::optional<InvitationRow> existing = transaction.find_invitation(project.id, address);
    if (existing && existing->expires > now)
        return ShareResult::Done; // The invitation and its ticket stand.
    if (existing)
        transaction.delete_invitation(existing->id);
    int invitation_id = 0;
    Text ticket = issue_ticket(transaction, project, address, level, author_id, invitation_id);
    write_share_change(transaction, project, ChangeKind::Share, address, 0, author_id);
    if (pending)
        *pending = { invitation_id, address, project.title, ticket };
    return ShareResult::Done;
}

std::int32_t Service::change_permission(const std::u16string& session, std::int32_t project_id,
    const std::u16string& text, std::int32_t level)
{
    Call call = open_call(session, TransactionKind::Write);
    StorageTransaction& transaction = *call.transaction;
    UserView view(transaction, call.user_id, m_clock.now_ms());
    const TaskRow* project = view.visible_task(project_id);
    if (!project || project->parent_id != 0) {
        log_line("changePermission refused for user " + std::to_string(call.user_id)
            + ": not a project the caller sees");
        return 0;
    }
    PendingTicket pending;
    ShareResult result
        = apply_permission(transaction, view, call.user_id, *project, text, level, false, &pending);
    if (result == ShareResult::Refused) {
        log_line("changePermission refused for user " + std::to_string(call.user_id) + ": level "
            + std::to_string(level) + " not allowed here");
        return 0;
    }
    IdempotencyScope::remember(transaction, 1);
    transaction.commit();
    // Delivered only once the invitation is stored, so no ticket names a rolled-back row.
    if (!pending.ticket.empty())
        m_outbox.deliver(
            pending.invitation_id, pending.address, pending.project_title, pending.ticket);
    return 1;
}

std::vector<User> Service::get_users(
    const std::u16string& session, const std::vector<std::int32_t>& ids)
{
    Call call = open_call(session, TransactionKind::Read);
    StorageTransaction& transaction = *call.transaction;
    UserView view(transaction, call.user_id, m_clock.now_ms());
    std::vector<User> reply;
    std::set<int> done;
    for (int id : ids) {
        if (!done.insert(id).second)
            continue;
        bool known = id == call.user_id;
        if (!known && id > 0) {
            for (int project_id : transaction.member_ever_projects(id)) {
                if (view.access(project_id)) {
                    known = true;
                    break;
                }
            }
        }
        std::optional<UserRow> user = known ? transaction.find_user(id) : std::nullopt;
        if (user)
            reply.push_back({ user->account, user->id, user->name });
        else
            reply.push_back({ u"", id, u"?" });
    }
    call.transaction->commit();
    return reply;
}

std::int32_t Service::activate_ticket(const std::u16string& session, const std::u16string& ticket)
{
    Call call = open_call(session, TransactionKind::Write);
    StorageTransaction& transaction = *call.transaction;
    Text trimmed = trim_controls(ticket);
    auto refused = [&](const char* reason) {
        log_line("activateTicket refused for user " + std::to_string(call.user_id) + ": " + reason);
        return 0;
    };
    if (trimmed.empty() || trimmed.size() > max_ticket_units)
        return refused("no ticket");
    std::optional<InvitationRow> invitation
        = transaction.find_invitation_by_ticket(key_digest(trimmed), m_clock.now_ms());
    if (!invitation)
        return refused("unknown or expired ticket");
    std::optional<TaskRow> project = transaction.find_task(invitation->project_id);
    if (!project)
        return refused("project gone");
    // An invitation lasts only while its issuer may still share the project.
    if (invitation->inviter_id != project->owner_id) {
        std::optional<PermissionRow> issuer
            = transaction.find_permission(project->id, invitation->inviter_id);
        if (!issuer || issuer->level < 2) {
            transaction.delete_invitation(invitation->id);
            transaction.commit();
            return refused("the issuer may no longer share the project");
        }
    }
    int user_id = call.user_id;
    // A member redeeming the ticket is most often the inviter forwarding the mail; using it up
    // would leave the invitee with a dead ticket, so the answer is 2 and nothing changes.
    if (project->owner_id == user_id || transaction.find_permission(project->id, user_id)) {
        IdempotencyScope::remember(transaction, 2);
        transaction.commit();
        return 2;
    }
    transaction.delete_invitation(invitation->id);
    write_share_change(transaction, *project, ChangeKind::Share, {}, user_id, user_id);
    std::int64_t seq = transaction.next_seq();
    transaction.insert_permission({ project->id, user_id, invitation->level, seq, {} });
    transaction.add_member_ever(project->id, user_id);
    transaction.insert_event(
        { seq, EventKind::AccessGained, project->id, 0, project->id, user_id });
    IdempotencyScope::remember(transaction, 1);
    transaction.commit();
    return 1;
}

bool Service::reissue_ticket(
    std::int32_t project_id, const std::u16string& address, std::string& error)
{
    auto transaction = m_storage.begin(TransactionKind::Write);
    std::optional<TaskRow> project = transaction->find_task(project_id);
    if (!project || project->parent_id != 0) {
        error = "no such project";
        return false;
    }
    Text normalised = normalise_address(address);
    std::optional<InvitationRow> invitation = transaction->find_invitation(project_id, normalised);
    if (!invitation) {
        error = "no invitation to that address";
        return false;
    }
    Text ticket = random_hex(20);
    transaction->set_invitation_ticket(
        invitation->id, key_digest(ticket), m_clock.now_ms() + m_config.invitation_lifetime_ms);
    transaction->commit();
    m_outbox.deliver(invitation->id, normalised, project->title, ticket);
    return true;
}

bool Service::set_level(
    std::int32_t project_id, const std::u16string& account, std::int32_t level, std::string& error)
{
    auto transaction = m_storage.begin(TransactionKind::Write);
    std::optional<TaskRow> project = transaction->find_task(project_id);
    if (!project || project->parent_id != 0) {
        error = "no such project";
        return false;
    }
    if (!transaction->find_user_by_account(normalise_address(account))) {
        error = "no such account";
        return false;
    }
    if (level < 0 || level > 2) {
        error = "the level must be 0, 1 or 2";
        return false;
    }
    UserView view(*transaction, project->owner_id, m_clock.now_ms());
    PendingTicket pending;
    if (apply_permission(
            *transaction, view, project->owner_id, *project, account, level, true, &pending)
        == ShareResult::Refused) {
        error = "refused (the owner cannot be changed)";
        return false;
    }
    transaction->commit();
    return true;
}

} // namespace corvane::server
