#include "device/skin/skin/Properties.h"

#include "device/core/Log.h"
#include "device/core/Ticks.h"
#include "device/skin/skin/PropertiesImpl.h"
#include "device/skin/skin/ReloadListener.h"
#include "device/skin/skin/SkinContent.h"

#include <algorithm>

namespace corvane {

using namespace skin_format;

Properties::Properties() = default;
Properties::~Properties() = default;

const WString& Properties::empty_string()
{
    static const WString empty;
    return empty;
}

const Font& Properties::no_font()
{
    static const Font none;
    return none;
}

bool Properties::load_skin(WStringView path, const DisplayInfo& display)
{
    LogStream& log = get_log();
    log << u"Properties::load_skin 1\n";
    PropertiesImpl impl(path, display);
    log << u"Properties::load_skin 2\n";
    if (!impl.is_loaded())
        return false;
    log << u"Properties::load_skin 3\n";
    // The exchange hands the previous skin to impl, which frees it on leaving.
    std::swap(m_content, impl.content());
    m_skin_path = WString(path);
    return true;
}

std::int32_t Properties::scale_shift() const
{
    return m_content ? m_content->scale_shift : 0;
}

std::optional<Node> Properties::find_node(WStringView name) const
{
    if (!m_content)
        return std::nullopt;
    return m_content->find_node(name);
}

std::uint32_t Properties::get_integer(
    const Node& node, WStringView name, std::uint32_t fallback) const
{
    if (node.is_null())
        return fallback;
    auto record = node.m_content->find_property(node.m_offset, PropertyKind::Integer, name);
    return record ? read_u32(node.m_content->data() + *record + 4) : fallback;
}

const Font& Properties::get_font(const Node& node, WStringView name, const Font& fallback) const
{
    if (node.is_null())
        return fallback;
    auto record = node.m_content->find_property(node.m_offset, PropertyKind::Font, name);
    return record ? node.m_content->fonts[read_u32(node.m_content->data() + *record + 4)]
                  : fallback;
}

Point Properties::get_point(const Node& node, WStringView name, Point fallback) const
{
    if (node.is_null())
        return fallback;
    auto record = node.m_content->find_property(node.m_offset, PropertyKind::Point, name);
    if (!record)
        return fallback;
    const std::uint8_t* p = node.m_content->data() + *record;
    std::int32_t shift = node.m_content->scale_shift;
    // Sign-extended first, then scaled: (-3, 7) reads as (-6, 14) at shift 1.
    return { std::int32_t(read_i16(p + 4)) * (1 << shift),
        std::int32_t(read_i16(p + 6)) * (1 << shift) };
}

const WString& Properties::get_string(
    const Node& node, WStringView name, const WString& fallback) const
{
    if (node.is_null())
        return fallback;
    auto record = node.m_content->find_property(node.m_offset, PropertyKind::String, name);
    return record ? node.m_content->strings[read_u16(node.m_content->data() + *record + 2)]
                  : fallback;
}

ImageRef Properties::get_picture(const Node& node, WStringView name, const ImageRef& fallback) const
{
    if (node.is_null())
        return fallback;
    const SkinContent& content = *node.m_content;
    auto record = content.find_property(node.m_offset, PropertyKind::Picture, name);
    if (!record)
        return fallback;
    const std::uint8_t* p = content.data() + *record;
    std::int32_t shift = content.scale_shift;
    auto coordinate = [&](int index) { return std::int32_t(read_u16(p + 2 + 2 * index)) << shift; };
    ImageRef picture;
    picture.coords = { coordinate(0), coordinate(1), coordinate(2), coordinate(3), coordinate(4),
        coordinate(5), coordinate(6), coordinate(7) };
    picture.bitmap = content.pictures[p[18]].bitmap;
    picture.scale_shift = shift;
    picture.flag = p[19];
    return picture;
}

Color Properties::get_color(const Node& node, WStringView name, Color fallback) const
{
    if (node.is_null())
        return fallback;
    auto record = node.m_content->find_property(node.m_offset, PropertyKind::Color, name);
    if (!record)
        return fallback;
    const std::uint8_t* p = node.m_content->data() + *record;
    return { p[4], p[5], p[6], 255 };
}

bool Properties::has_integers(const Node& node) const
{
    return !node.is_null() && node.m_content->property_count(node.m_offset, PropertyKind::Integer);
}

bool Properties::has_points(const Node& node) const
{
    return !node.is_null() && node.m_content->property_count(node.m_offset, PropertyKind::Point);
}

std::uint32_t Properties::child_count(const Node& node) const
{
    return node.is_null() ? 0 : node.m_content->child_count(node.m_offset);
}

Node Properties::child(const Node& node, std::uint32_t index) const
{
    if (node.is_null() || index >= node.m_content->child_count(node.m_offset))
        return {};
    return node.m_content->make_node(node.m_content->child_offset(node.m_offset, index));
}

std::size_t Properties::picture_count() const
{
    return m_content ? m_content->pictures.size() : 0;
}

const ImageRef& Properties::picture(std::size_t index) const
{
    return m_content->pictures.at(index);
}

std::size_t Properties::font_count() const
{
    return m_content ? m_content->fonts.size() : 0;
}

const Font& Properties::font(std::size_t index) const
{
    return m_content->fonts.at(index);
}

void Properties::add_reload_listener(ReloadListener& listener)
{
    m_listeners.push_back(&listener);
}

void Properties::remove_reload_listener(ReloadListener& listener)
{
    std::erase(m_listeners, &listener);
}

void Properties::send_reload_skin()
{
    std::uint32_t start = tick_count();
    // A listener may add or remove listeners while it rebuilds; walk a copy, skipping any that
    // have been removed meanwhile.
    std::vector<ReloadListener*> listeners = m_listeners;
    for (ReloadListener* listener : listeners) {
        if (std::find(m_listeners.begin(), m_listeners.end(), listener) != m_listeners.end())
            listener->reload_skin(*this);
    }
    get_log() << u"PropertiesImpl::send_reload_skin the rest time="
              << format_seconds(tick_count() - start) << u"\n";
}

void Properties::set_language(LanguageTable table, WString path)
{
    m_language = std::move(table);
    m_language_path = std::move(path);
}

} // namespace corvane
