#pragma once

#include "common/records/VizTask.h"

#include <vector>

namespace corvane {

// The reply of a filtered list call: the main list (ancestors that attach the page to the
// tree), then the page itself.
struct VizList {
    static constexpr WStringView signature = u"com.ulmar.viz.client.VizList/2886386532";

    std::vector<VizTask> mainList;
    std::vector<VizTask> secondList;

    void save(RpcWriter& writer, TaskChangesForm changes_form = TaskChangesForm::Null) const;
    // A null object leaves the record as it is; a failed read may leave it partly filled.
    [[nodiscard]] bool load(RpcReader& reader);

    bool operator==(const VizList&) const = default;
};

} // namespace corvane
