// libFuzzer target: whatever a client sends, the packet reader, the message assembler and the
// PRELOGIN, LOGIN7, RPC and batch decoders, and the browser's answers to a datagram, must answer
// without crashing or reading out of bounds.
#include <cstddef>
#include <cstdint>

#include "protocol/Batch.h"
#include "protocol/Login7.h"
#include "protocol/MessageAssembler.h"
#include "protocol/PacketReader.h"
#include "protocol/Prelogin.h"
#include "protocol/Rpc.h"
#include "protocol/Ssrp.h"
#include "protocol/Utf16.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace standin;
    const Bytes whole(data, data + size);

    // The raw bytes as one message body of each kind.
    (void)parsePrelogin(whole);
    (void)decodeLogin7(whole);
    (void)rpcProcedureName(whole);
    (void)utf16leToUtf8(whole);
    (void)batchText(whole);
    static const std::vector<SsrpInstance> instances{{"HOST", "KORVID", "8.00.2039", 1433}};
    (void)answerSsrp(whole, instances);

    // The bytes as a stream, fed in uneven pieces the way a socket delivers them.
    PacketReader reader(4096);
    MessageAssembler assembler(64 * 1024);
    size_t pos = 0;
    size_t step = 1;
    while (pos < size) {
        const size_t n = step < size - pos ? step : size - pos;
        reader.feed(data + pos, n);
        pos += n;
        step = step * 3 % 1021 + 1;
        Packet packet;
        PacketReader::Result r;
        while ((r = reader.next(packet)) == PacketReader::Result::Packet) {
            TdsMessage message;
            if (assembler.add(packet, message) == MessageAssembler::Result::Message) {
                (void)parsePrelogin(message.payload);
                (void)decodeLogin7(message.payload);
                (void)rpcProcedureName(message.payload);
                (void)batchText(message.payload);
            }
        }
        if (r == PacketReader::Result::Malformed) break;
    }
    return 0;
}
