#include "Catalog.h"

#include <cstdio>
#include <sstream>

#include "DurableFile.h"

namespace standin {

namespace {

const char kFirstLine[] = "KVCATALOG 1";

std::string hex(const std::string& s) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(s.size() * 2 + 1);
    out += 'x';  // never empty, so fields always split cleanly
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool unhex(const std::string& h, std::string& out) {
    if (h.empty() || h[0] != 'x' || (h.size() - 1) % 2 != 0) return false;
    out.clear();
    auto val = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (size_t i = 1; i < h.size(); i += 2) {
        const int a = val(h[i]);
        const int b = val(h[i + 1]);
        if (a < 0 || b < 0) return false;
        out += static_cast<char>(a * 16 + b);
    }
    return true;
}

}  // namespace

std::string Catalog::encode(const std::vector<CatalogEntry>& entries) {
    std::ostringstream o;
    o << kFirstLine << '\n';
    for (const CatalogEntry& e : entries) {
        o << "db " << e.dbid << ' ' << e.createdDays << ' ' << e.createdTicks << ' ' << hex(e.name)
          << ' ' << hex(e.primaryPath) << '\n';
    }
    std::string body = o.str();
    char tail[64];
    std::snprintf(tail, sizeof tail, "end %zu %08x\n", entries.size(),
                  DurableFile::crc32(body.data(), body.size()));
    return body + tail;
}

bool Catalog::decode(const std::string& text, std::vector<CatalogEntry>& entries) {
    entries.clear();
    const size_t endPos = text.rfind("end ");
    if (endPos == std::string::npos || (endPos > 0 && text[endPos - 1] != '\n')) return false;
    const std::string body = text.substr(0, endPos);
    size_t count = 0;
    unsigned crc = 0;
    char nl = 0;
    if (std::sscanf(text.c_str() + endPos, "end %zu %8x%c", &count, &crc, &nl) != 3 || nl != '\n')
        return false;
    if (crc != DurableFile::crc32(body.data(), body.size())) return false;
    char tail[64];
    std::snprintf(tail, sizeof tail, "end %zu %08x\n", count, crc);
    if (text.compare(endPos, std::string::npos, tail) != 0) return false;  // nothing may follow
    std::istringstream in(body);
    std::string line;
    if (!std::getline(in, line) || line != kFirstLine) return false;
    while (std::getline(in, line)) {
        std::istringstream f(line);
        std::string tag, name, path;
        CatalogEntry e;
        if (!(f >> tag >> e.dbid >> e.createdDays >> e.createdTicks >> name >> path) ||
            tag != "db" || !unhex(name, e.name) || !unhex(path, e.primaryPath))
            return false;
        entries.push_back(std::move(e));
    }
    return entries.size() == count;
}

bool Catalog::load(std::vector<CatalogEntry>& entries, bool& existed, std::string& error) const {
    std::error_code ec;
    existed = std::filesystem::exists(file_, ec);
    // A temporary file left by a crash before its rename never became the catalog.
    std::filesystem::remove(DurableFile::temporaryFor(file_), ec);
    if (!existed) {
        entries.clear();
        return true;
    }
    std::string text;
    if (!DurableFile::read(file_, text, error)) return false;
    if (!decode(text, entries)) {
        error = "the catalog file " + file_.string() + " is damaged";
        return false;
    }
    return true;
}

bool Catalog::save(const std::vector<CatalogEntry>& entries, std::string& error) const {
    return DurableFile::replace(file_, encode(entries), error);
}

}  // namespace standin
