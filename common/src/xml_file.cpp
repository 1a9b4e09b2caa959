// SPDX-License-Identifier: MIT
#include <pixtera/xml_file.h>

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace pixtera {
namespace {

constexpr std::size_t kMaxIndent = 255;

// Markup whose content is not tags: comments, character data and the document type. They are
// copied whole on a line of their own, so a commented-out element keeps its text and its breaks.
constexpr std::pair<std::string_view, std::string_view> kVerbatim[] = {
    {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<!DOCTYPE", ">"}};

// The length of the verbatim markup starting at `at`, or 0.
std::size_t VerbatimLength(std::string_view xml, std::size_t at)
{
    for (const auto& [open, close] : kVerbatim) {
        if (xml.substr(at, open.size()) != open)
            continue;
        const std::size_t end = xml.find(close, at + open.size());
        return end == std::string_view::npos ? xml.size() - at : end + close.size() - at;
    }
    return 0;
}

} // namespace

std::string ReindentXml(std::string_view xml)
{
    std::string out;
    out.reserve(xml.size() + xml.size() / 4);
    std::size_t depth = 0;
    char last = 0;
    bool inTag = false;
    char quote = 0; // the quote of the attribute value being copied
    for (std::size_t i = 0; i < xml.size(); ++i) {
        const char c = xml[i];
        // Attribute values are copied as they are: a '>' or '/' in a text is not markup.
        if (quote) {
            out += c;
            last = c;
            if (c == quote)
                quote = 0;
            continue;
        }
        switch (c) {
        case '\t':
        case '\n':
        case '\r': break;
        case '<':
            if (const std::size_t length = VerbatimLength(xml, i)) {
                out.append(depth, '\t');
                out.append(xml.substr(i, length));
                out += '\n';
                i += length - 1;
                break;
            }
            inTag = true;
            if (i + 1 < xml.size() && xml[i + 1] == '/') {
                depth = depth > 0 ? depth - 1 : 0;
                out.append(depth, '\t');
                out += '<';
            } else {
                out.append(depth, '\t');
                out += '<';
                depth = std::min(depth + 1, kMaxIndent);
            }
            break;
        case '>':
            inTag = false;
            if (last == '/')
                depth = depth > 0 ? depth - 1 : 0;
            out += ">\n";
            break;
        default:
            if (inTag && (c == '"' || c == '\''))
                quote = c;
            out += c;
            last = c;
            break;
        }
    }
    return out;
}

// A link is replaced through its target, so that the link stays and the target gets the change.
std::filesystem::path ResolveLinks(const std::filesystem::path& path)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec))
        return path;
    auto target = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : target;
}

namespace {

std::string TemporaryPrefix(const std::filesystem::path& path) { return "." + path.filename().string() + "."; }

} // namespace

int RemoveStaleTemporaries(const std::filesystem::path& linkOrFile)
{
    const std::filesystem::path path = ResolveLinks(linkOrFile);
    const std::string prefix = TemporaryPrefix(path);
    int removed = 0;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(path.parent_path(), ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0)
            continue;
        // ".NAME.PID.XXXXXX": the writer's pid between the prefix and the last dot.
        const std::string rest = name.substr(prefix.size());
        const auto dot = rest.find('.');
        if (dot == std::string::npos || dot == 0 || rest.find_first_not_of("0123456789") != dot)
            continue;
        const long pid = std::strtol(rest.substr(0, dot).c_str(), nullptr, 10);
        struct stat file {};
        if (lstat(entry.path().c_str(), &file) != 0 || !S_ISREG(file.st_mode) || file.st_uid != geteuid())
            continue;
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH && unlink(entry.path().c_str()) == 0)
            ++removed;
    }
    return removed;
}

bool WriteFileAtomically(const std::filesystem::path& linkOrFile, std::string_view content, std::string* error)
{
    const std::filesystem::path path = ResolveLinks(linkOrFile);
    RemoveStaleTemporaries(path);
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what + " " + path.string() + ": " + std::strerror(errno);
        return false;
    };
    std::string temporary =
        (path.parent_path() / (TemporaryPrefix(path) + std::to_string(getpid()) + ".XXXXXX")).string();
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return fail("cannot create a temporary file for");
    // Keep the mode of the file being replaced (mkstemp makes 0600).
    struct stat existing {};
    fchmod(fd, stat(path.c_str(), &existing) == 0 ? existing.st_mode & 07777 : 0644);
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            const int saved = errno;
            close(fd);
            unlink(temporary.c_str());
            errno = saved;
            return fail("cannot write");
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    if (fsync(fd) != 0 || close(fd) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        errno = saved;
        return fail("cannot write");
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        unlink(temporary.c_str());
        errno = saved;
        return fail("cannot replace");
    }
    return true;
}

bool SaveXmlDocument(const pugi::xml_document& document, const std::filesystem::path& path, std::string* error,
                     pugi::xml_encoding encoding)
{
    std::ostringstream raw;
    document.save(raw, "", pugi::format_raw | pugi::format_no_declaration, encoding);
    return WriteFileAtomically(path, ReindentXml(raw.str()), error);
}

} // namespace pixtera
