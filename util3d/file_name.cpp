#include "util3d/file_name.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

bool IsFile(const std::string& path) {
    struct stat st {};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return stat(path.empty() ? "." : path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The entry of `folder` ("" for the working directory) whose name matches
// `part` regardless of case and that is a folder (or a file for the last part).
std::string MatchInFolder(const std::string& folder, const std::string& part, bool wantFile) {
    std::string exact = folder + part;
    if (wantFile ? IsFile(exact) : IsFolder(exact)) return exact;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec), end;
    std::vector<std::string> found;
    for (; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (!SameIgnoringCase(entry, part)) continue;
        std::string path = folder + entry;
        if (wantFile ? IsFile(path) : IsFolder(path)) found.push_back(path);
    }
    if (found.empty()) return {};
    return *std::min_element(found.begin(), found.end());
}

}  // namespace

std::string FindFileByWindowsName(const std::string& name) {
    if (IsFile(name)) return name;
    std::string slashed = name;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    if (slashed != name && IsFile(slashed)) return slashed;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= slashed.size()) {
        std::size_t end = slashed.find('/', start);
        if (end == std::string::npos) end = slashed.size();
        if (end > start) parts.push_back(slashed.substr(start, end - start));
        start = end + 1;
    }
    if (parts.empty()) return {};
    std::string path = slashed[0] == '/' ? "/" : "";
    for (std::size_t i = 0; i < parts.size(); ++i) {
        bool last = i + 1 == parts.size();
        if (!last && (parts[i] == "." || parts[i] == "..")) {
            path += parts[i] + "/";
            continue;
        }
        std::string found = MatchInFolder(path, parts[i], last);
        if (found.empty()) return {};
        path = last ? found : found + "/";
    }
    return path;
}

bool ReadWholeFile(const std::string& path, std::vector<std::uint8_t>* bytes) {
    constexpr std::uint64_t kMaxBytes = std::uint64_t(256) << 20;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < 0 || std::uint64_t(length) > kMaxBytes) return false;
    in.seekg(0);
    bytes->resize(static_cast<std::size_t>(length));
    return length == 0 || bool(in.read(reinterpret_cast<char*>(bytes->data()), length));
}
