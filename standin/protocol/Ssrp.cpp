#include "Ssrp.h"

#include <algorithm>
#include <cctype>

namespace standin {

namespace {

// MS-SQLR 2.2.3: the name is at most 32 bytes before its terminating zero.
constexpr size_t kMaxInstanceName = 32;
// MS-SQLR 2.2.5: an answer to CLNT_UCAST_INST carries at most 1024 bytes, to the others 65535.
constexpr size_t kMaxInstanceAnswer = 1024;
constexpr size_t kMaxListAnswer = 65535;

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::toupper(x) == std::toupper(y);
           });
}

Bytes response(const std::string& data) {
    Bytes out;
    putU8(out, SsrpResponse);
    putU16LE(out, static_cast<uint16_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::optional<std::string> requestedName(const Bytes& request) {
    const auto end = std::find(request.begin() + 1, request.end(), uint8_t{0});
    // Only zeros may follow the terminator.
    if (end != request.end() && std::any_of(end, request.end(), [](uint8_t b) { return b != 0; }))
        return std::nullopt;
    std::string name(request.begin() + 1, end);
    if (name.empty() || name.size() > kMaxInstanceName) return std::nullopt;
    return name;
}

}  // namespace

std::string describeInstance(const SsrpInstance& instance) {
    return "ServerName;" + instance.serverName + ";InstanceName;" + instance.instanceName +
           ";IsClustered;No;Version;" + instance.version + ";tcp;" +
           std::to_string(instance.tcpPort) + ";;";
}

std::optional<Bytes> answerSsrp(const Bytes& request, const std::vector<SsrpInstance>& instances) {
    if (request.empty()) return std::nullopt;
    switch (request[0]) {
        case SsrpBroadcastEx:
        case SsrpUnicastEx: {
            if (request.size() != 1 || instances.empty()) return std::nullopt;
            std::string all;
            for (const SsrpInstance& i : instances) {
                const std::string one = describeInstance(i);
                if (all.size() + one.size() > kMaxListAnswer) break;
                all += one;
            }
            return response(all);
        }
        case SsrpUnicastInst: {
            const auto name = requestedName(request);
            if (!name) return std::nullopt;
            for (const SsrpInstance& i : instances) {
                const std::string one = describeInstance(i);
                if (sameName(i.instanceName, *name) && one.size() <= kMaxInstanceAnswer)
                    return response(one);
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;
    }
}

}  // namespace standin
