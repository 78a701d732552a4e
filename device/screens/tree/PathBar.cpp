#include "device/screens/tree/PathBar.h"

#include "common/records/Task.h"
#include "device/model/engine/Engine.h"
#include "device/screens/forms/Form.h"
#include "device/screens/task/TaskTitle.h"

namespace corvane {

namespace {

    constexpr int cell_count = 6;

    void fill_cell(Element& path, int cell, const WString* text)
    {
        const char16_t name[2] = { static_cast<char16_t>(u'0' + cell), 0 };
        Element* element = find_descendant(path, name);
        if (!element)
            return;
        show_element(element, text != nullptr);
        if (text) {
            Element* label = find_descendant(*element, u"#text");
            set_element_text(label ? label : element, *text);
        }
    }

} // namespace

void fill_path_bar(Element& path, const Engine& engine, std::int32_t list_id)
{
    Element* home = find_descendant(path, u"home");
    if (list_id == 0) {
        show_element(home, true);
        WString empty;
        fill_cell(path, cell_count - 1, &empty);
        for (int cell = 0; cell < cell_count - 1; ++cell)
            fill_cell(path, cell, nullptr);
        return;
    }
    show_element(home, false);
    int cell = cell_count - 1;
    std::int32_t id = list_id;
    while (cell >= 0 && id != 0) {
        const Task* task = engine.find_task(id);
        if (!task)
            break;
        WString title = task_title(task->title);
        fill_cell(path, cell, &title);
        --cell;
        id = task->parentId;
    }
    for (; cell >= 0; --cell)
        fill_cell(path, cell, nullptr);
}

} // namespace corvane
