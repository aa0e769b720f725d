#include "access/LongRuns.h"

namespace korvid {

bool LongRuns::begin() {
    if (active_) return false;
    active_ = true;
    emit begun();
    return true;
}

void LongRuns::end() {
    active_ = false;
}

}  // namespace korvid
