#pragma once
// What one statement sends back: its tokens, and whether its error ends the batch.

#include <utility>
#include <vector>

#include "Reply.h"

namespace standin {

struct Outcome {
    Reply tokens;
    bool abortBatch = false;

    static Done done(uint16_t status = DoneFinal, uint32_t count = 0, uint16_t cmd = 0) {
        Done d;
        d.status = status;
        d.rowCount = count;
        d.curCmd = cmd;
        return d;
    }
    // Messages sent on the statement's line.
    void addMessages(const std::vector<Message>& messages, uint16_t line) {
        for (Message m : messages) {
            m.line = line;
            tokens.push_back(std::move(m));
        }
    }
    // The error, then DONE with the ERROR bit.
    static Outcome failed(Message m, uint16_t line, bool abort = false) {
        Outcome o;
        m.line = line;
        o.tokens.push_back(std::move(m));
        o.tokens.push_back(done(DoneError));
        o.abortBatch = abort;
        return o;
    }
};

}  // namespace standin
