// Packet framing: the reader, the message assembler and the reply splitter.
#include <gtest/gtest.h>

#include "protocol/MessageAssembler.h"
#include "protocol/PacketReader.h"
#include "protocol/PacketWriter.h"

using namespace standin;

namespace {

Bytes packet(uint8_t type, uint8_t status, const Bytes& payload) {
    Bytes b{type, status, 0, 0, 0, 0, 1, 0};
    const size_t len = payload.size() + 8;
    b[2] = static_cast<uint8_t>(len >> 8);
    b[3] = static_cast<uint8_t>(len & 0xFF);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

}  // namespace

TEST(PacketReader, CutsPacketsWhateverTheFeedBoundaries) {
    Bytes stream = packet(0x01, 0x01, {'a', 0, 'b', 0});
    const Bytes second = packet(0x06, 0x01, {});
    stream.insert(stream.end(), second.begin(), second.end());

    // Byte by byte: nothing is returned before a packet is whole.
    PacketReader reader;
    std::vector<Packet> got;
    for (uint8_t byte : stream) {
        reader.feed(&byte, 1);
        Packet p;
        while (reader.next(p) == PacketReader::Result::Packet) got.push_back(p);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, 0x01);
    EXPECT_EQ(got[0].payload, (Bytes{'a', 0, 'b', 0}));
    EXPECT_EQ(got[1].type, 0x06);
    EXPECT_TRUE(got[1].payload.empty());

    // All at once: the same two packets, then NeedMore.
    PacketReader whole;
    whole.feed(stream);
    Packet p;
    EXPECT_EQ(whole.next(p), PacketReader::Result::Packet);
    EXPECT_EQ(whole.next(p), PacketReader::Result::Packet);
    EXPECT_EQ(whole.next(p), PacketReader::Result::NeedMore);
    EXPECT_EQ(whole.buffered(), 0u);

    // What follows the last whole packet is handed back as it came (TLS records after a
    // handshake), and the reader starts afresh.
    PacketReader handing;
    Bytes tail = packet(0x12, 0x01, {0x16});
    const Bytes records{0x17, 0x03, 0x03, 0x00, 0x20, 0xAB};
    tail.insert(tail.end(), records.begin(), records.end());
    handing.feed(tail);
    EXPECT_EQ(handing.next(p), PacketReader::Result::Packet);
    EXPECT_EQ(handing.takeBuffered(), records);
    EXPECT_EQ(handing.buffered(), 0u);
    handing.feed(second);
    EXPECT_EQ(handing.next(p), PacketReader::Result::Packet);
    EXPECT_EQ(p.type, 0x06);
}

TEST(PacketReader, ImpossibleLengthsBreakTheStreamForGood) {
    for (uint16_t length : {0, 7, 4097}) {
        PacketReader reader(4096);
        Bytes b{0x01,
                0x01,
                static_cast<uint8_t>(length >> 8),
                static_cast<uint8_t>(length & 0xFF),
                0,
                0,
                0,
                0};
        b.resize(5000, 0);
        reader.feed(b);
        Packet p;
        EXPECT_EQ(reader.next(p), PacketReader::Result::Malformed) << length;
        reader.feed(packet(0x01, 0x01, {}));
        EXPECT_EQ(reader.next(p), PacketReader::Result::Malformed) << length;
    }
    // A header announcing more than arrived is only incomplete.
    PacketReader reader;
    reader.feed(Bytes{0x01, 0x01, 0x00, 0x20, 0, 0, 0, 0, 1, 2});
    Packet p;
    EXPECT_EQ(reader.next(p), PacketReader::Result::NeedMore);
}

TEST(MessageAssembler, JoinsPacketsUntilEomWithinTheBound) {
    MessageAssembler a(10);
    TdsMessage m;
    PacketReader r;
    Packet p;
    r.feed(packet(0x01, 0x00, {1, 2, 3}));
    r.feed(packet(0x01, 0x01, {4, 5}));
    ASSERT_EQ(r.next(p), PacketReader::Result::Packet);
    EXPECT_EQ(a.add(p, m), MessageAssembler::Result::NeedMore);
    EXPECT_TRUE(a.inProgress());
    ASSERT_EQ(r.next(p), PacketReader::Result::Packet);
    ASSERT_EQ(a.add(p, m), MessageAssembler::Result::Message);
    EXPECT_EQ(m.type, 0x01);
    EXPECT_EQ(m.payload, (Bytes{1, 2, 3, 4, 5}));

    // Growing past the bound is malformed even before EOM.
    Packet big{0x01, 0x00, 0, 0, Bytes(8, 0)};
    EXPECT_EQ(a.add(big, m), MessageAssembler::Result::NeedMore);
    EXPECT_EQ(a.add(big, m), MessageAssembler::Result::Malformed);

    // A packet of another type in the middle of a message is malformed.
    EXPECT_EQ(a.add(Packet{0x01, 0x00, 0, 0, {1}}, m), MessageAssembler::Result::NeedMore);
    EXPECT_EQ(a.add(Packet{0x03, 0x01, 0, 0, {1}}, m), MessageAssembler::Result::Malformed);
}

TEST(MessageAssembler, AttentionAndIgnoreInterruptCleanly) {
    MessageAssembler a(100);
    TdsMessage m;
    EXPECT_EQ(a.add(Packet{0x01, 0x00, 0, 0, {1, 2}}, m), MessageAssembler::Result::NeedMore);
    ASSERT_EQ(a.add(Packet{0x06, 0x01, 0, 0, {}}, m), MessageAssembler::Result::Message);
    EXPECT_EQ(m.type, PacketAttention);
    ASSERT_EQ(a.add(Packet{0x01, 0x01, 0, 0, {7}}, m), MessageAssembler::Result::Message);
    EXPECT_EQ(m.payload, (Bytes{7}));

    // The client abandons a half-sent batch: it is dropped, the next one stands alone.
    EXPECT_EQ(a.add(Packet{0x01, 0x02 | 0x01, 0, 0, {3}}, m), MessageAssembler::Result::Ignored);
    ASSERT_EQ(a.add(Packet{0x01, 0x01, 0, 0, {9}}, m), MessageAssembler::Result::Message);
    EXPECT_EQ(m.payload, (Bytes{9}));
}

TEST(PacketWriter, SplitsAtThePacketSizeWithEomOnlyOnTheLast) {
    Bytes message(10000);
    for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 7);
    const Bytes wire = splitIntoPackets(0x04, message, 4096, 51);

    PacketReader reader(4096);
    reader.feed(wire);
    Packet p;
    Bytes joined;
    int packets = 0;
    while (reader.next(p) == PacketReader::Result::Packet) {
        ++packets;
        EXPECT_EQ(p.type, 0x04);
        EXPECT_EQ(p.spid, 51);
        EXPECT_EQ(p.packetId, packets);
        joined.insert(joined.end(), p.payload.begin(), p.payload.end());
        const bool last = joined.size() == message.size();
        EXPECT_EQ(p.status, last ? 0x01 : 0x00);
    }
    EXPECT_EQ(packets, 3);
    EXPECT_EQ(joined, message);

    // An exact multiple of the room does not leave an empty trailing packet; empty is one packet.
    EXPECT_EQ(splitIntoPackets(0x04, Bytes(4088 * 2), 4096, 1).size(), 2u * 4096);
    EXPECT_EQ(splitIntoPackets(0x04, {}, 4096, 1), (Bytes{0x04, 0x01, 0, 8, 0, 1, 1, 0}));
}
