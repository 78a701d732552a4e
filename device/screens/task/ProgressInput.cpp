#include "device/screens/task/ProgressInput.h"

#include <algorithm>
#include <cstdint>

namespace corvane {

void ProgressInput::open(std::int32_t done, std::int32_t plan, bool edited_elsewhere)
{
    m_edited_elsewhere = edited_elsewhere;
    m_baseline[index(Field::Done)] = done;
    m_baseline[index(Field::Plan)] = plan;
    m_text[index(Field::Done)] = to_wstring(done);
    m_text[index(Field::Plan)] = to_wstring(plan);
    m_selected = Field::Plan;
    m_has_last_typed = false;
}

void ProgressInput::select(Field field)
{
    m_selected = field;
    m_has_last_typed = false;
}

void ProgressInput::press_digit(char16_t digit)
{
    if (digit < u'0' || digit > u'9')
        return;
    m_edited_elsewhere = false;
    WString& text = m_text[index(m_selected)];
    bool append = m_has_last_typed && m_last_typed == m_selected && !text.empty() && text != u"0";
    if (append) {
        if (text.size() < max_digits)
            text += digit;
    } else {
        text = WString(1, digit);
    }
    m_has_last_typed = true;
    m_last_typed = m_selected;
}

void ProgressInput::backspace()
{
    m_edited_elsewhere = false;
    WString& text = m_text[index(m_selected)];
    if (!text.empty())
        text.pop_back();
}

std::int32_t ProgressInput::number(Field field) const
{
    const WString& text = m_text[index(field)];
    std::size_t at = !text.empty() && text[0] == u'-' ? 1 : 0;
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at)
        value = std::min<std::int64_t>(value * 10 + (text[at] - u'0'), INT32_MAX);
    return static_cast<std::int32_t>(text.starts_with(u'-') ? -value : value);
}

bool ProgressInput::differs() const
{
    return number(Field::Done) != m_baseline[index(Field::Done)]
        || number(Field::Plan) != m_baseline[index(Field::Plan)];
}

} // namespace corvane
