#include "device/screens/sharing/SharingScreen.h"

#include "device/core/CActive.h"
#include "device/core/CActiveScheduler.h"
#include "device/model/engine/Engine.h"
#include "device/screens/sharing/SharingForm.h"
#include "device/screens/sharing/SharingHost.h"
#include "device/screens/task/TaskTitle.h"

#include <algorithm>
#include <functional>

namespace corvane {

// Runs one action on the next pass of the scheduler. A newer action replaces one not yet run.
class SharingScreen::Deferred final : public CActive {
public:
    Deferred()
        : CActive(CActiveScheduler::current())
    {
    }
    ~Deferred() override { cancel(); }

    void post(std::function<void()> action)
    {
        m_action = std::move(action);
        if (is_active())
            return;
        set_active();
        notify();
    }

private:
    void RunL() override
    {
        std::function<void()> action = std::move(m_action);
        m_action = nullptr;
        if (action)
            action();
    }
    void DoCancel() override { } // notified when posted: nothing is outstanding

    std::function<void()> m_action;
};

SharingScreen::SharingScreen(SharingHost& host)
    : SharingScreen(nullptr, &host)
{
}

SharingScreen::SharingScreen(std::unique_ptr<SharingHost> own_host, SharingHost* host)
    : m_own_host(std::move(own_host))
    , m_host(host ? *host : *m_own_host)
    , m_form(std::make_unique<SharingForm>(m_host.properties(), static_cast<ListFormOwner*>(this)))
    , m_deferred(std::make_unique<Deferred>())
{
    m_form->set_listener(this);
}

SharingScreen::~SharingScreen()
{
    m_deferred.reset();
    if (m_form) {
        m_form->set_owner(nullptr);
        m_form->set_listener(nullptr);
    }
}

void SharingScreen::open(
    std::int32_t project_id, std::int32_t current_user, Mode mode, SharingListener* listener)
{
    m_project = project_id;
    m_current_user = current_user;
    m_mode = mode;
    m_listener = listener;
    m_pending.reset();
    m_form->set_row_node(mode == Share ? u"SharingElementNoPress" : u"SharingElementPress");
    refresh();
    m_form->show(false, true);
}

bool SharingScreen::close(bool animate)
{
    return m_form->close(animate);
}

bool SharingScreen::is_open() const
{
    return m_form->is_open();
}

void SharingScreen::on_task_changed(std::int32_t id)
{
    if (m_project != sharing_idle && id == m_project)
        refresh();
}

void SharingScreen::on_task_removed(std::int32_t id)
{
    if (m_project == sharing_idle || id != m_project)
        return;
    m_project = sharing_idle;
    m_pending.reset();
    m_form->close(true);
    refresh();
}

void SharingScreen::on_users_changed()
{
    refresh();
}

std::optional<SharingScreen::RowPosition> SharingScreen::pending_removal() const
{
    if (!m_pending)
        return std::nullopt;
    return RowPosition { m_pending->section, m_pending->row };
}

void SharingScreen::refresh()
{
    if (m_project == sharing_idle)
        return;
    Engine& engine = m_host.engine();
    const Task* project = m_project >= 0 ? engine.find_task(m_project) : nullptr;
    SharingSource source;
    source.mode = m_mode;
    source.project_id = m_project;
    source.project = project;
    source.users = &engine.users();
    source.current_user = m_current_user;
    source.all_users_text = m_form->text(u"vizUsersAll");
    std::vector<ListSection> sections = sharing_rows(source);

    update_sharing_titles(m_titles, m_mode, m_project != sharing_no_project,
        project ? task_title(project->title) : WString(),
        [this](WStringView key) { return m_form->text(key); });
    // A section without rows shows no header either: with no project, the titles are those of
    // the last project shown, and they must not stand over rows that have nothing to do with it.
    for (std::int32_t s = Invitations; s < sharing_section_count; ++s) {
        sections[s].header = m_titles.sections[s];
        sections[s].visible = !sections[s].rows.empty();
    }
    m_form->set_title(m_titles.screen);
    m_form->set_invitation(m_mode == Share && m_titles.invite_shown, m_titles.invite);
    m_form->set_waiting(m_mode == Share && engine.task_pending(m_project));

    // A removal that waits for confirmation stays with its row while that row is still there.
    if (m_pending && !locate(sections[m_pending->section].rows, *m_pending))
        m_pending.reset();

    m_row_buttons.clear();
    m_form->set_sections(std::move(sections));
}

void SharingScreen::row_built(
    ListForm& form, std::int32_t section, std::int32_t row, Element& element)
{
    const ListRow* data = form.row(section, row);
    SharingRowLook look = sharing_row_look(m_mode, section, data && data->enabled);
    auto& add = Form::require_in<ButtonElement>(element, u"add");
    auto& remove = Form::require_in<ButtonElement>(element, u"remove");
    auto& confirm = Form::require_in<ButtonElement>(element, u"confirm_remove");
    bool confirming = m_pending && m_pending->section == section && m_pending->row == row;
    show_element(&add, look.add);
    show_element(&remove, look.remove && !confirming);
    show_element(&confirm, look.remove && confirming);
    for (const char16_t* id : { u"icon_place_d", u"icon_place_n", u"icon_place_p" })
        show_element(find_descendant(element, id), look.icons);
    for (const char16_t* id : { u"more_n", u"more_p" })
        show_element(find_descendant(element, id), look.more);
    // The name would run on under a shown button; its line ends where the button's margin
    // starts, so a long name ends in its ellipsis instead of a cut letter. Rows are built from
    // the skin each time, so a row without a button keeps the whole width.
    ButtonElement* button = look.add ? &add
        : look.remove                ? (confirming ? &confirm : &remove)
                                     : nullptr;
    Element* name = find_descendant(Form::require_in<ButtonElement>(element, u"value"), u"#text");
    if (button && name && name->parent()) {
        Element& line = *name->parent();
        std::int32_t clear = button->border_max_x() + button->design_width();
        if (clear > line.border_max_x())
            line.set_borders(line.border_min_x(), line.border_min_y(), clear, line.border_max_y());
    }
    add.set_handler(this);
    remove.set_handler(this);
    confirm.set_handler(this);
    m_row_buttons[&add] = { section, row, RowButton::Add };
    m_row_buttons[&remove] = { section, row, RowButton::Remove };
    m_row_buttons[&confirm] = { section, row, RowButton::ConfirmRemove };
}

void SharingScreen::clicked(ButtonElement& button, Point, std::int32_t)
{
    auto it = m_row_buttons.find(&button);
    if (it == m_row_buttons.end())
        return;
    RowButtonPlace place = it->second;
    std::optional<RowRef> ref = row_ref(place.section, place.row);
    if (!ref)
        return;
    switch (place.role) {
    case RowButton::Add:
        defer([this, ref = *ref] { press_row(ref); });
        break;
    case RowButton::Remove:
        defer([this, ref = *ref] { ask_removal(ref); });
        break;
    case RowButton::ConfirmRemove:
        defer([this, ref = *ref] { confirm_removal(ref); });
        break;
    }
}

void SharingScreen::row_pressed(ListForm&, std::int32_t section, std::int32_t row)
{
    if (std::optional<RowRef> ref = row_ref(section, row))
        defer([this, ref = *ref] { press_row(ref); });
}

void SharingScreen::form_button(Form&, ButtonElement& button)
{
    if (&button == &m_form->plus())
        defer([this] { invite(); });
}

void SharingScreen::leaving(ListForm&)
{
    m_project = sharing_idle;
    m_pending.reset();
    m_invited.reset();
}

void SharingScreen::defer(std::function<void()> action)
{
    m_deferred->post(std::move(action));
}

std::optional<SharingScreen::RowRef> SharingScreen::row_ref(
    std::int32_t section, std::int32_t row) const
{
    const ListRow* data = m_form->row(section, row);
    if (!data)
        return std::nullopt;
    return RowRef { section, row, data->text, data->id };
}

bool SharingScreen::locate(const std::vector<ListRow>& rows, RowRef& ref)
{
    auto same = [&](const ListRow& row) { return row.id == ref.id && row.text == ref.text; };
    if (ref.row >= 0 && static_cast<std::size_t>(ref.row) < rows.size() && same(rows[ref.row]))
        return true;
    auto it = std::find_if(rows.begin(), rows.end(), same);
    if (it == rows.end())
        return false;
    ref.row = static_cast<std::int32_t>(it - rows.begin());
    return true;
}

bool SharingScreen::locate(RowRef& ref) const
{
    const auto& sections = m_form->sections();
    if (ref.section < 0 || static_cast<std::size_t>(ref.section) >= sections.size())
        return false;
    return locate(sections[ref.section].rows, ref);
}

void SharingScreen::ask_removal(RowRef ref)
{
    if (m_project == sharing_idle || !locate(ref))
        return;
    std::optional<RowRef> previous = m_pending;
    m_pending = ref;
    if (previous && locate(*previous) && previous->row != ref.row)
        m_form->redraw_row(previous->section, previous->row);
    m_form->redraw_row(ref.section, ref.row);
}

void SharingScreen::confirm_removal(RowRef ref)
{
    if (!m_pending || !locate(ref) || m_pending->section != ref.section
        || m_pending->row != ref.row)
        return;
    m_pending.reset();
    m_form->redraw_row(ref.section, ref.row);
    press_row(ref);
}

void SharingScreen::press_row(RowRef ref)
{
    if (m_project == sharing_idle || !locate(ref))
        return;
    const ListRow* data = m_form->row(ref.section, ref.row);
    if (!data)
        return;
    Engine& engine = m_host.engine();
    SharingAction action = sharing_press(m_mode, ref.section, *data, engine.users());
    switch (action.kind) {
    case SharingAction::Kind::None:
        break;
    case SharingAction::Kind::ChangePermission:
        // Without a project there is nothing to share.
        if (m_project >= 0)
            engine.change_permission(m_project, action.address, action.level);
        break;
    case SharingAction::Kind::SelectFilter:
        m_host.select_filter_user(action.user_id);
        finish_pick();
        break;
    case SharingAction::Kind::ChooseResponsible:
        if (m_listener)
            m_listener->responsible_chosen(*this, action.user_id);
        finish_pick();
        break;
    }
}

void SharingScreen::finish_pick()
{
    m_project = sharing_idle;
    m_pending.reset();
    m_form->close(true);
}

void SharingScreen::invite()
{
    if (m_project == sharing_idle || m_mode != Share)
        return;
    SharingAction action = sharing_invite(m_form->email());
    if (m_project >= 0) {
        m_invited = action.address;
        m_host.engine().change_permission(m_project, action.address, action.level);
    }
    m_form->set_email(u"");
}

void SharingScreen::on_permission_refused(std::int32_t project, WStringView text)
{
    if (!m_invited || project != m_project || *m_invited != text)
        return;
    m_invited.reset();
    if (m_form->email().empty())
        m_form->set_email(text);
    m_host.show_message(text.empty() ? u"InviteNoAddress" : u"InviteRefused", text);
}

} // namespace corvane
