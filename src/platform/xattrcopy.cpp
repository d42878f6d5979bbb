#include "platform/xattrcopy.h"

#include <sys/xattr.h>

#include <algorithm>
#include <cerrno>
#include <optional>
#include <string>
#include <vector>

namespace {
// Reads a list or a value whose size may change between asking and reading.
template <typename Call>
std::optional<std::vector<char>> ReadSized(Call call)
{
    for (;;) {
        const ssize_t size = call(nullptr, 0);
        if (size < 0) return std::nullopt;
        std::vector<char> buffer(static_cast<std::size_t>(size));
        const ssize_t got = call(buffer.data(), buffer.size());
        if (got >= 0) {
            buffer.resize(static_cast<std::size_t>(got));
            return buffer;
        }
        if (errno != ERANGE) return std::nullopt;
    }
}

// Names of fd's attributes; empty where the file system has none.
std::optional<std::vector<std::string>> NamesOf(int fd)
{
    const auto list = ReadSized([fd](char* buffer, std::size_t size) { return ::flistxattr(fd, buffer, size); });
    if (!list) {
        if (errno == ENOTSUP) return std::vector<std::string>{};
        return std::nullopt;
    }
    std::vector<std::string> names;
    for (auto name = list->begin(); name != list->end();) {
        const auto end = std::find(name, list->end(), '\0');
        names.emplace_back(name, end);
        name = end == list->end() ? end : end + 1;
    }
    return names;
}
}  // namespace

bool CopyExtendedAttributes(int from, int to)
{
    const auto wanted = NamesOf(from);
    const auto present = NamesOf(to);
    if (!wanted || !present) return false;
    for (const std::string& name : *present)
        if (std::find(wanted->begin(), wanted->end(), name) == wanted->end() && ::fremovexattr(to, name.c_str()) != 0)
            return false;
    for (const std::string& name : *wanted) {
        const auto value = ReadSized([&](char* buffer, std::size_t size) {
            return ::fgetxattr(from, name.c_str(), buffer, size);
        });
        if (!value || ::fsetxattr(to, name.c_str(), value->data(), value->size(), 0) != 0) return false;
    }
    return true;
}
