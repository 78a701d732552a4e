#pragma once

#include "device/screens/forms/PropertyRow.h"
#include "device/skin/skin/Element.h"
#include "device/skin/widgets/ButtonElement.h"
#include "device/skin/widgets/VListElement.h"

#include <array>

namespace corvane {

class MultiNodeElement;
class TaskScreen;

// The rows of the task screen's list. Each is built from its skin node, binds its children
// once, and draws itself through the screen whenever the list binds it to an index. The screen
// outlives the rows (it owns the list). Main thread.

// Row 0, "TaskPropertiesElement": the record's eight properties and its "del" and "share".
class TaskPropertiesItem final : public Element, public BindableItem, public ButtonHandler {
public:
    enum class Press {
        Name,
        Comp,
        Responsible,
        Status,
        Tag,
        Progress,
        Deadline,
        Comment,
        Del,
        Share
    };

    explicit TaskPropertiesItem(TaskScreen& screen);
    void bind(std::int32_t index) override;
    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;

    PropertyRow name, comp, responsible, status, tag, progress, deadline, comment;
    MultiNodeElement* complete { nullptr }; // Not owned: our elements.
    ButtonElement* del { nullptr };
    ButtonElement* share { nullptr };
    Element* off_new_task { nullptr };
    std::array<Element*, 6> status_marks {};

private:
    TaskScreen& m_screen;
};

// One history entry, "TaskChatElement".
class TaskChatItem final : public Element, public BindableItem {
public:
    explicit TaskChatItem(TaskScreen& screen);
    void bind(std::int32_t index) override;

    Element* time { nullptr }; // Not owned: our elements.
    Element* user { nullptr };
    Element* description { nullptr };
    Element* name { nullptr };
    Element* responsible { nullptr };
    Element* status { nullptr };
    Element* progress { nullptr };
    Element* complete { nullptr };
    Element* deadline { nullptr };
    Element* share { nullptr };
    Element* unshare { nullptr };
    MultiNodeElement* status_check { nullptr };
    MultiNodeElement* complete_check { nullptr };

private:
    TaskScreen& m_screen;
};

// The last row, "TaskMoreElement": asks for the next older page of history.
class TaskMoreItem final : public Element, public BindableItem, public ButtonHandler {
public:
    explicit TaskMoreItem(TaskScreen& screen);
    void bind(std::int32_t index) override;
    void clicked(ButtonElement& button, Point point, std::int32_t flag) override;

    ButtonElement* more { nullptr }; // Not owned: our elements.
    Element* wait { nullptr };

private:
    TaskScreen& m_screen;
};

} // namespace corvane
