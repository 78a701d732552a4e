#pragma once

#include "common/base/Text.h"

#include <cstdint>

namespace corvane {

// The two number fields of the progress editor and its keypad rules, without a window. The
// first digit typed into a field replaces what it shows; further digits append, except that a
// field showing "0" is replaced (so "0" then "7" gives "7", not "07").
class ProgressInput {
public:
    enum class Field : std::int32_t { Done = 0, Plan = 1 };
    // Longest number a field takes; more digits would not fit the service's 32-bit numbers.
    static constexpr std::size_t max_digits = 9;

    // Shows `done` and `plan`, takes them as the baseline and selects the planned field.
    // `edited_elsewhere`: the record already holds other numbers, so saving the shown ones
    // (which puts the baseline back) is offered until the first key.
    void open(std::int32_t done, std::int32_t plan, bool edited_elsewhere = false);
    // Pressing a field selects it; the next digit replaces its text.
    void select(Field field);
    // Ignores anything but '0'..'9'.
    void press_digit(char16_t digit);
    void backspace();

    Field selected() const { return m_selected; }
    const WString& text(Field field) const { return m_text[index(field)]; }
    // The number a field shows; an empty field counts as 0.
    std::int32_t number(Field field) const;
    // Whether either number differs from the baseline (when "save" is offered).
    bool differs() const;
    // Whether "save" is offered: the numbers differ, or no key was pressed yet on a record
    // edited elsewhere.
    bool offers_save() const { return m_edited_elsewhere || differs(); }

private:
    static std::size_t index(Field field) { return static_cast<std::size_t>(field); }

    WString m_text[2];
    std::int32_t m_baseline[2] { 0, 0 };
    Field m_selected { Field::Plan };
    bool m_has_last_typed { false };
    bool m_edited_elsewhere { false };
    Field m_last_typed { Field::Plan };
};

} // namespace corvane
