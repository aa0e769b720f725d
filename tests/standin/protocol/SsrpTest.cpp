// The browser's answers at the byte level, as FreeTDS and the other clients read them.
#include <gtest/gtest.h>

#include <string>

#include "protocol/Ssrp.h"

using namespace standin;

namespace {

Bytes bytes(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

const std::vector<SsrpInstance> kServed{{"HOST", "KORVID", "8.00.2039", 50123},
                                        {"HOST", "Second", "8.00.2039", 1433}};

}  // namespace

TEST(Ssrp, AnInstanceAskedByNameGetsItsPort) {
    const std::string one =
        "ServerName;HOST;InstanceName;KORVID;IsClustered;No;"
        "Version;8.00.2039;tcp;50123;;";
    Bytes expected{0x05, static_cast<uint8_t>(one.size()), 0x00};
    expected.insert(expected.end(), one.begin(), one.end());
    // FreeTDS sends the name with its terminating zero; names compare without regard to case.
    for (const char* asked : {"KORVID", "korvid", "Korvid"}) {
        Bytes request = bytes(std::string("\x04") + asked);
        EXPECT_EQ(answerSsrp(request, kServed), expected) << asked;
        request.push_back(0);
        EXPECT_EQ(answerSsrp(request, kServed), expected) << asked;
    }
    EXPECT_EQ(describeInstance(kServed[0]), one);
}

TEST(Ssrp, ListRequestsGetEveryInstance) {
    const std::string all = describeInstance(kServed[0]) + describeInstance(kServed[1]);
    for (uint8_t request : {SsrpBroadcastEx, SsrpUnicastEx}) {
        const auto answer = answerSsrp({request}, kServed);
        ASSERT_TRUE(answer);
        ASSERT_EQ(answer->size(), 3 + all.size());
        EXPECT_EQ((*answer)[0], SsrpResponse);
        EXPECT_EQ(getU16LE(answer->data() + 1), all.size());
        EXPECT_EQ(std::string(answer->begin() + 3, answer->end()), all);
    }
}

TEST(Ssrp, WhatABrowserDoesNotAnswer) {
    const Bytes silent[] = {
        {},
        bytes("\x04OTHER"),                                 // an instance not served here
        bytes("\x04KORVIDX"),                               // only a prefix matches
        bytes("\x04"),                                      // no name
        bytes(std::string("\x04") + std::string(33, 'K')),  // longer than a name may be
        bytes(std::string("\x04KORVID\0junk", 12)),         // something after the terminator
        bytes("\x0F\x01KORVID"),                            // dedicated administrator connection
        bytes("\x03\x03"),                                  // a list request with trailing bytes
        bytes("\x05\x00\x00"),                              // an answer, sent back
        bytes("\xFF"
              "garbage"),
    };
    for (const Bytes& request : silent)
        EXPECT_FALSE(answerSsrp(request, kServed)) << std::string(request.begin(), request.end());
    EXPECT_FALSE(answerSsrp({SsrpUnicastEx}, {}));
}
