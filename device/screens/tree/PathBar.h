#pragma once

#include <cstdint>

namespace corvane {

class Element;
class Engine;

// Fills a path bar: its "home" mark at the root (id 0), otherwise the titles of the list and
// its ancestors in the cells "5", "4", ... (nearest last), up to six, stopping at the root or at
// a record the engine does not have. Unused leading cells are hidden. Missing parts of the bar
// are skipped.
void fill_path_bar(Element& path, const Engine& engine, std::int32_t list_id);

} // namespace corvane
