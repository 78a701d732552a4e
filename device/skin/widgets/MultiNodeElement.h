#pragma once

#include "device/skin/skin/Element.h"

#include <vector>

namespace corvane {

class ButtonHandler;

// "multinode": shows exactly one of its children. As a movie it steps through them on a timer,
// each child for its own "delay" (seconds) or the switcher's. Main thread.
class MultiNodeElement : public Element {
public:
    void load(Properties& properties, const Node& node) override;
    Element& insert_child(std::unique_ptr<Element> child, std::size_t index) override;
    std::unique_ptr<Element> remove_child(Element& child, std::size_t index) override;
    void tick(double seconds) override;

    std::size_t current() const { return m_current; }
    // Out-of-range indexes are ignored.
    void set_current(std::size_t index);
    // Moves to the next child; after the last comes the first.
    void advance();
    const WString& text() const { return m_text; }
    double default_delay() const { return m_default_delay; }
    bool is_movie() const { return m_movie; }
    void set_movie(bool movie, double default_delay);
    // Buttons among the children report to this handler (not owned).
    void set_handler(ButtonHandler* handler);

private:
    void show_current();

    WString m_text;
    double m_default_delay { -1 };
    bool m_movie { false };
    std::vector<double> m_delays; // one per child, -1: the default
    std::size_t m_current { 0 };
    double m_elapsed { 0 };
    ButtonHandler* m_handler { nullptr };
};

} // namespace corvane
