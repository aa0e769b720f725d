#pragma once
// RPC requests: the stand-in only needs the procedure's name to refuse the call.

#include <string>

#include "Bytes.h"

namespace standin {

// The procedure name of a TDS 7.1 RPC request (or the well-known name of a ProcID such as
// sp_executesql); empty when the request is too short to tell.
std::string rpcProcedureName(const Bytes& payload);

}  // namespace standin
