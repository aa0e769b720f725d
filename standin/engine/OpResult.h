#pragma once
// What an operation on the databases reports: its messages, in order, and whether it
// succeeded.

#include <utility>
#include <vector>

#include "Reply.h"

namespace standin {

struct OpResult {
    bool ok = true;
    std::vector<Message> messages;

    void fail(Message m) {
        ok = false;
        messages.push_back(std::move(m));
    }
    static OpResult failure(Message m) {
        OpResult r;
        r.fail(std::move(m));
        return r;
    }
    // A failure followed by a second message (1802 or 1813 after the cause).
    static OpResult failure(Message m, Message then) {
        OpResult r = failure(std::move(m));
        r.messages.push_back(std::move(then));
        return r;
    }
};

}  // namespace standin
