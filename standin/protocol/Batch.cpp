#include "Batch.h"

#include "Utf16.h"

namespace standin {

std::string batchText(const Bytes& p) {
    size_t skip = 0;
    // Statement text never holds U+0000, so a zero second code unit means a length field.
    if (p.size() >= 4 && p[2] == 0 && p[3] == 0) {
        const size_t total = getU32LE(p.data());
        if (total >= 4 && total <= p.size()) skip = total;
    }
    return utf16leToUtf8(p.data() + skip, p.size() - skip);
}

void ensureFinalDone(Reply& reply) {
    if (!reply.empty()) {
        if (const auto* d = std::get_if<Done>(&reply.back())) {
            if (d->kind != Done::Kind::DoneInProc && !(d->status & DoneMore)) return;
        }
    }
    bool failed = false;
    for (const Token& t : reply) {
        if (const auto* m = std::get_if<Message>(&t)) failed = failed || m->severity >= 11;
    }
    reply.push_back(
        Done{Done::Kind::Done, static_cast<uint16_t>(failed ? DoneError : DoneFinal), 0, 0});
}

}  // namespace standin
