#pragma once
// The SQL Server Resolution Protocol (MS-SQLR) as a browser answers it on UDP 1434: which
// instances a host serves and on which TCP port.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Bytes.h"

namespace standin {

enum SsrpRequest : uint8_t {
    SsrpBroadcastEx = 0x02,  // CLNT_BCAST_EX
    SsrpUnicastEx = 0x03,    // CLNT_UCAST_EX
    SsrpUnicastInst = 0x04,  // CLNT_UCAST_INST + instance name
    SsrpUnicastDac = 0x0F,   // CLNT_UCAST_DAC
    SsrpResponse = 0x05,     // SVR_RESP
};

struct SsrpInstance {
    std::string serverName;
    std::string instanceName;
    std::string version;  // "8.00.2039"
    uint16_t tcpPort = 0;
};

// The answer to one datagram, or nullopt where a browser stays silent: an instance it does not
// serve (names compare without regard to ASCII case), a dedicated administrator connection, a
// request it does not understand.
std::optional<Bytes> answerSsrp(const Bytes& request, const std::vector<SsrpInstance>& instances);

// "ServerName;HOST;InstanceName;NAME;IsClustered;No;Version;8.00.2039;tcp;1433;;"
std::string describeInstance(const SsrpInstance& instance);

}  // namespace standin
