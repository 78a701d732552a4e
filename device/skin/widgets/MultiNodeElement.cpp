#include "device/skin/widgets/MultiNodeElement.h"

#include "device/skin/skin/Properties.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/TextElement.h"

#include <cstdlib>

namespace corvane {

namespace {

    // A decimal number such as "0.5"; -1 when absent or not a number.
    double parse_delay(const WString& text)
    {
        if (text.empty())
            return -1;
        std::string narrow = to_utf8(text);
        char* end = nullptr;
        double value = std::strtod(narrow.c_str(), &end);
        if (end == narrow.c_str() || !(value >= 0))
            return -1;
        return value;
    }

} // namespace

void MultiNodeElement::load(Properties& properties, const Node& node)
{
    m_current = 0;
    m_elapsed = 0;
    Element::load(properties, node);
    const WString& empty = Properties::empty_string();
    m_text = translate_skin_text(properties, properties.get_string(node, u"text", empty));
    m_default_delay = parse_delay(properties.get_string(node, u"delay", empty));
    m_movie = properties.get_integer(node, u"movie", 0) != 0;
    // The skin's children are the last ones inserted; their delays come from their nodes.
    std::uint32_t count = properties.child_count(node);
    for (std::uint32_t i = 0; i < count && i < m_delays.size(); ++i) {
        std::size_t slot = m_delays.size() - count + i;
        m_delays[slot]
            = parse_delay(properties.get_string(properties.child(node, i), u"delay", empty));
    }
    show_current();
}

Element& MultiNodeElement::insert_child(std::unique_ptr<Element> child, std::size_t index)
{
    index = std::min(index, child_count());
    Element& inserted = Element::insert_child(std::move(child), index);
    m_delays.insert(m_delays.begin() + static_cast<std::ptrdiff_t>(index), -1.0);
    if (child_count() > 1 && index <= m_current)
        ++m_current;
    if (auto* button = dynamic_cast<ButtonElement*>(&inserted))
        button->set_handler(m_handler);
    inserted.set_visible(index == m_current);
    return inserted;
}

std::unique_ptr<Element> MultiNodeElement::remove_child(Element& child, std::size_t index)
{
    std::unique_ptr<Element> removed = Element::remove_child(child, index);
    if (removed && index < m_delays.size())
        m_delays.erase(m_delays.begin() + static_cast<std::ptrdiff_t>(index));
    m_current = child_count() == 0 ? 0 : m_current % child_count();
    show_current();
    return removed;
}

void MultiNodeElement::set_current(std::size_t index)
{
    if (index >= child_count())
        return;
    m_current = index;
    m_elapsed = 0;
    show_current();
}

void MultiNodeElement::advance()
{
    if (child_count() == 0)
        return;
    m_current = (m_current + 1) % child_count();
    show_current();
}

void MultiNodeElement::set_movie(bool movie, double default_delay)
{
    m_movie = movie;
    m_default_delay = default_delay;
    m_elapsed = 0;
}

void MultiNodeElement::set_handler(ButtonHandler* handler)
{
    m_handler = handler;
    for (const auto& child : children()) {
        if (auto* button = dynamic_cast<ButtonElement*>(child.get()))
            button->set_handler(handler);
    }
}

void MultiNodeElement::show_current()
{
    for (std::size_t i = 0; i < child_count(); ++i)
        child(i).set_visible(i == m_current);
}

void MultiNodeElement::tick(double seconds)
{
    Element::tick(seconds);
    if (!m_movie || !is_displayed() || child_count() == 0)
        return;
    m_elapsed += seconds;
    // A delay of 0 (or none at all) would spin forever; such a child waits one tick.
    for (int steps = 0; steps < 64; ++steps) {
        double delay = m_delays[m_current] >= 0 ? m_delays[m_current] : m_default_delay;
        if (delay < 0 || m_elapsed < delay)
            break;
        m_elapsed -= delay;
        advance();
        if (delay == 0) {
            m_elapsed = 0;
            break;
        }
    }
}

} // namespace corvane
