#include "launcher/tests/FakePlatform.h"

#include "launcher/Text.h"

namespace lumbra::test {

namespace {

    std::u16string registry_id(std::u16string_view key, std::u16string_view name)
    {
        std::u16string id(key);
        id += u'|';
        id += name;
        for (char16_t& c : id)
            c = fold_case(c);
        return id;
    }

} // namespace

void FakeStartWindow::set_caption(const std::u16string& caption)
{
    m_log.push_back("caption " + to_utf8(caption));
}

void FakeStartWindow::set_view_tooltip(const std::u16string& text)
{
    m_log.push_back("tooltip " + to_utf8(text));
}

void FakeStartWindow::set_size(int width, int height)
{
    m_log.push_back("size " + std::to_string(width) + "x" + std::to_string(height));
}

void FakeStartWindow::set_shape(const WindowShape& s)
{
    shape = s;
    m_log.push_back("shape");
}

void FakeStartWindow::set_instance_property(const std::string& name)
{
    m_log.push_back("property " + name);
}

void FakePlatform::set_registry(
    RegistryRoot root, std::u16string key, std::u16string name, std::u16string value)
{
    m_registry[{ root, registry_id(key, name) }] = std::move(value);
}

std::u16string FakePlatform::read_registry_string(
    RegistryRoot root, std::u16string_view key, std::u16string_view name) const
{
    auto found = m_registry.find({ root, registry_id(key, name) });
    return found == m_registry.end() ? std::u16string() : found->second;
}

bool FakePlatform::set_current_folder(const std::string& folder)
{
    log.push_back("cd " + folder);
    return true;
}

bool FakePlatform::open(const OpenRequest& request)
{
    log.push_back("open " + request.verb + "|" + request.target + "|" + request.parameters + "|"
        + request.working_folder);
    return open_succeeds;
}

std::optional<TopLevelWindow> FakePlatform::find_window_with_property(const std::string& name)
{
    log.push_back("find " + name);
    return name == running_property ? running_window : std::nullopt;
}

bool FakePlatform::is_window_visible(TopLevelWindow)
{
    return running_visible;
}

void FakePlatform::bring_to_front(TopLevelWindow window)
{
    log.push_back("raise " + std::to_string(window));
}

std::unique_ptr<StartWindowView> FakePlatform::create_start_window()
{
    log.push_back("create window");
    auto created = std::make_unique<FakeStartWindow>(log);
    window = created.get();
    return created;
}

} // namespace lumbra::test
