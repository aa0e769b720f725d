#include "Rpc.h"

#include "Utf16.h"

namespace standin {

std::string rpcProcedureName(const Bytes& p) {
    if (p.size() < 2) return {};
    const size_t chars = getU16LE(p.data());
    if (chars == 0xFFFF) {
        if (p.size() < 4) return {};
        static const char* const kProcs[] = {
            "",
            "sp_cursor",
            "sp_cursoropen",
            "sp_cursorprepare",
            "sp_cursorexecute",
            "sp_cursorprepexec",
            "sp_cursorunprepare",
            "sp_cursorfetch",
            "sp_cursoroption",
            "sp_cursorclose",
            "sp_executesql",
            "sp_prepare",
            "sp_execute",
            "sp_prepexec",
            "sp_prepexecrpc",
            "sp_unprepare",
        };
        const size_t id = getU16LE(p.data() + 2);
        return id < sizeof(kProcs) / sizeof(kProcs[0]) ? kProcs[id] : std::string();
    }
    const size_t bytes = chars * 2;
    if (bytes > p.size() - 2) return {};
    return utf16leToUtf8(p.data() + 2, bytes);
}

}  // namespace standin
