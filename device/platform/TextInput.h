#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace corvane {

// The text and insertion point of the field being edited, and the editing operations that the
// keyboard and the input method perform on them. This platform has no native edit control, so
// the program edits its own text with these. Works in UTF-16 units and never splits a
// surrogate pair. Main thread.
class TextInput {
public:
    const std::u16string& text() const { return m_text; }
    std::size_t caret() const { return m_caret; }

    // Replaces the text; the caret goes to its end.
    void set_text(std::u16string text)
    {
        m_text = std::move(text);
        m_caret = m_text.size();
    }
    void set_caret(std::size_t caret) { m_caret = snap(std::min(caret, m_text.size())); }

    // Typed or pasted text, at the caret. A single-line field turns line breaks into spaces
    // and drops carriage returns.
    void insert(std::u16string_view typed, bool multi_line)
    {
        std::u16string clean;
        clean.reserve(typed.size());
        for (char16_t c : typed) {
            if (c == u'\r')
                continue;
            if (c == u'\n' && !multi_line)
                c = u' ';
            if (c < u' ' && c != u'\n' && c != u'\t')
                continue;
            clean.push_back(c);
        }
        m_text.insert(m_caret, clean);
        m_caret += clean.size();
    }
    // Backspace: removes the character before the caret. False when there is none.
    bool erase_before()
    {
        if (m_caret == 0)
            return false;
        std::size_t from = step_back(m_caret);
        m_text.erase(from, m_caret - from);
        m_caret = from;
        return true;
    }
    // Delete: removes the character after the caret. False when there is none.
    bool erase_after()
    {
        if (m_caret >= m_text.size())
            return false;
        std::size_t to = step_forward(m_caret);
        m_text.erase(m_caret, to - m_caret);
        return true;
    }
    void move_left() { m_caret = step_back(m_caret); }
    void move_right() { m_caret = step_forward(m_caret); }
    // Home and End work on the current line of a multi-line text.
    void move_home()
    {
        std::size_t line = m_caret == 0 ? std::u16string::npos : m_text.rfind(u'\n', m_caret - 1);
        m_caret = line == std::u16string::npos ? 0 : line + 1;
    }
    void move_end()
    {
        std::size_t line = m_text.find(u'\n', m_caret);
        m_caret = line == std::u16string::npos ? m_text.size() : line;
    }

private:
    static bool is_low_surrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
    std::size_t snap(std::size_t at) const
    {
        return at > 0 && at < m_text.size() && is_low_surrogate(m_text[at]) ? at - 1 : at;
    }
    std::size_t step_back(std::size_t at) const
    {
        if (at == 0)
            return 0;
        --at;
        return snap(at);
    }
    std::size_t step_forward(std::size_t at) const
    {
        if (at >= m_text.size())
            return m_text.size();
        ++at;
        if (at < m_text.size() && is_low_surrogate(m_text[at]))
            ++at;
        return at;
    }

    std::u16string m_text;
    std::size_t m_caret { 0 };
};

} // namespace corvane
