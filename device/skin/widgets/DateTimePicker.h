#pragma once

#include "device/core/TimeUtils.h"
#include "device/skin/widgets/SpinnerElement.h"

#include <array>

namespace corvane {

class DateTimePicker;
class Properties;

// Told after every change the user makes on a drum. Not owned by the picker.
class DateTimePickerListener {
public:
    virtual ~DateTimePickerListener() = default;
    // `drum` is the index of the drum that moved (DateTimePicker::Drum).
    virtual void changed(DateTimePicker& picker, std::int32_t drum) = 0;
};

// Drives the five drums "year", "month", "day", "hour" and "minute" of a screen's tree as one
// date and time: turning a lower drum past its end carries into the next higher one, and the
// day drum never rests on a day that the month lacks. Main thread.
class DateTimePicker final : public SpinnerProvider {
public:
    enum Drum : std::int32_t { Year = 0, Month, Day, Hour, Minute, DrumCount };

    DateTimePicker() = default;
    ~DateTimePicker() override;
    DateTimePicker(const DateTimePicker&) = delete;
    DateTimePicker& operator=(const DateTimePicker&) = delete;

    // Finds the drums under `root` (NodeNotFound with the root's id and the missing name) and
    // shows `time`. Value elements are built from the top-level node `item_node` of
    // `properties`, which must outlive the picker.
    void bind(Element& root, Properties& properties, WStringView item_node, TimeValue time);
    void set_time(TimeValue time);
    TimeValue picked_time() const;
    void set_listener(DateTimePickerListener* listener) { m_listener = listener; }

    SpinnerElement& drum(Drum which) const { return *m_drums[which]; }
    TimeValue date_part() const { return m_date; }
    double hour_value() const { return m_hour; }
    double minute_value() const { return m_minute; }

    // The text a drum shows at an index ("Jan", "07", "2024", ...).
    static WString value_text(Drum which, std::int32_t index);

    void position_set(SpinnerElement& spinner, const SpinnerChange& change) override;
    void position_dragged(SpinnerElement& spinner, const SpinnerChange& change) override;
    void released(SpinnerElement& spinner) override;
    std::unique_ptr<Element> create_item(SpinnerElement& spinner, std::int32_t index) override;

private:
    Drum which(const SpinnerElement& spinner) const;
    void compose_date(std::int32_t year, std::int32_t month, std::int32_t day);

    std::array<SpinnerElement*, DrumCount> m_drums {}; // Not owned: elements of the screen.
    Properties* m_properties { nullptr }; // Not owned.
    WString m_item_node;
    DateTimePickerListener* m_listener { nullptr };
    TimeValue m_date { 0 };
    double m_hour { 0 };
    double m_minute { 0 };
};

} // namespace corvane
