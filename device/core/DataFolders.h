#pragma once

#include "common/base/Text.h"

#include <vector>

namespace corvane {

// Where the program's files live. A build tree keeps everything beside the executable; an
// installed program reads its data from "../share/corvane" and writes to the user's XDG data
// folder, because its own folder belongs to root. Any thread (each answer is found once).

// The read-only data (skins, pictures, languages), "%data_path%": the executable's folder when
// the data lies beside it, else "../share/corvane" relative to it when that holds data, else
// the executable's folder again (and loading fails there, naming both candidates).
WString data_folder();
// The folders data_folder() looked at, in order, for messages that say where nothing was found.
std::vector<WString> data_folder_candidates();
// Where the program writes its cache and outbox, "%user_path%": the executable's folder in a
// build tree, "$XDG_DATA_HOME/corvane" (default ~/.local/share/corvane, created owner-only) for
// an installed program.
WString user_folder();

} // namespace corvane
