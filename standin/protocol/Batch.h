#pragma once
// SQL batch requests: the statement text, and the guarantees a reply must keep.

#include <string>

#include "Bytes.h"
#include "Reply.h"

namespace standin {

// The batch text as UTF-8. A 7.2+ client puts ALL_HEADERS in front of the text; they are
// skipped so such a client is still understood.
std::string batchText(const Bytes& payload);

// Clients go idle only on a DONE without the MORE bit: a reply that does not end in one gets a
// final DONE, so a fault in the engine can never leave a client waiting for ever.
void ensureFinalDone(Reply& reply);

}  // namespace standin
