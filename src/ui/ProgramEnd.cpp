#include "ui/ProgramEnd.h"

#include <cstdio>
#include <cstdlib>

namespace korvid {

namespace {

std::function<void()>& handler() {
    static std::function<void()> h;
    return h;
}

}  // namespace

void endProgram() {
    if (handler()) {
        handler()();
        return;
    }
    // Nothing of the program's own needs saving: the process ends here, so no queued event
    // and no loop that yields to the window can run another step.
    std::fflush(nullptr);
    std::_Exit(0);
}

void setProgramEndHandler(std::function<void()> h) {
    handler() = std::move(h);
}

}  // namespace korvid
