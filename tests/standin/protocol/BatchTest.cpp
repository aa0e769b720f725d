// Batch requests: the text a client sends and the end every reply must have.
#include <gtest/gtest.h>

#include "protocol/Batch.h"
#include "protocol/Utf16.h"

using namespace standin;

TEST(Batch, TextWithOrWithoutAllHeaders) {
    const std::string sql = "select name  from sysdatabases ORDER BY name";
    EXPECT_EQ(batchText(utf8ToUtf16le(sql)), sql);

    // What a 7.2+ client puts in front: total length 22, one transaction descriptor header.
    Bytes withHeaders{22, 0, 0, 0, 18, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0};
    const Bytes text = utf8ToUtf16le(sql);
    withHeaders.insert(withHeaders.end(), text.begin(), text.end());
    EXPECT_EQ(batchText(withHeaders), sql);

    // A length field that overruns the payload is not taken for headers.
    EXPECT_EQ(batchText(Bytes{0x40, 0, 0, 0}), std::string("@\0", 2));
    EXPECT_EQ(batchText({}), "");
}

TEST(Batch, EveryReplyEndsWithAFinalDone) {
    Reply empty;
    ensureFinalDone(empty);
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_EQ(std::get<Done>(empty[0]).status, DoneFinal);

    // An engine reply cut after a DONE_MORE, or ending inside a procedure, gets its end; an
    // error in it is carried into the added DONE.
    Reply cut{Message{208, 1, 16, "Invalid object name 't'."},
              Done{Done::Kind::Done, DoneMore | DoneError, 0, 0}};
    ensureFinalDone(cut);
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_EQ(std::get<Done>(cut.back()).status, DoneError);
    Reply inProc{Done{Done::Kind::DoneInProc, DoneFinal, 0, 0}};
    ensureFinalDone(inProc);
    EXPECT_EQ(inProc.size(), 2u);

    // A reply that already ends properly is left as it is.
    Reply fine{ReturnStatus{0}, Done{Done::Kind::DoneProc, DoneFinal, 0, 0}};
    ensureFinalDone(fine);
    EXPECT_EQ(fine.size(), 2u);
}
