#pragma once
#include <functional>

namespace korvid {

// Ends the program at once, without asking: no further handler runs and open connections go
// with the process. Used by the exit buttons and by closing either window.
void endProgram();

// Tests replace the ending with a handler of their own (nullptr restores the real one).
void setProgramEndHandler(std::function<void()> handler);

}  // namespace korvid
