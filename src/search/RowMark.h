#pragma once

namespace korvid::search {

// What became of a found file, shown by its row of the result list as an icon and a tooltip:
// attached to this server already when it was found, attached by a run, skipped by a run because
// the file had gone, or failed.
enum class RowMark { None, AttachedBefore, Attached, Gone, Failed };

}  // namespace korvid::search
