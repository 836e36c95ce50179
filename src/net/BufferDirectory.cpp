#include "net/BufferDirectory.h"

#include "platform/EscapedText.h"
#include "platform/Files.h"
#include "platform/Log.h"

#include <algorithm>
#include <cctype>
#include <functional>

namespace velorin {

namespace {

// A name ending in "~" and digits: a second file kept for the same name.
std::size_t copyMarkAt(std::string_view name)
{
    const std::size_t tilde = name.rfind('~');
    if (tilde == std::string_view::npos || tilde + 1 == name.size())
        return std::string_view::npos;
    const bool digits = std::all_of(name.begin() + static_cast<std::ptrdiff_t>(tilde) + 1, name.end(),
                                    [](unsigned char c) { return std::isdigit(c) != 0; });
    return digits ? tilde : std::string_view::npos;
}

// Plenty for names that begin with a 30-second stamp; the bound only keeps the search finite.
constexpr int maxCopies = 1000;

} // namespace

BufferDirectory::BufferDirectory(Files& files, Log& log, std::string path, std::string suffix)
    : m_files(&files), m_log(&log), m_path(std::move(path)), m_suffix(std::move(suffix))
{
    const std::size_t slash = m_path.rfind('/');
    m_label = slash == std::string::npos ? m_path : m_path.substr(slash + 1);
}

bool BufferDirectory::present() const
{
    return m_files->entryInfo(m_path).kind == EntryKind::directory;
}

bool BufferDirectory::ensure() const
{
    const EntryKind kind = m_files->entryInfo(m_path).kind;
    if (kind == EntryKind::directory)
        return true;
    // A link planted under the name would have the files written somewhere else.
    const FileResult made = kind == EntryKind::missing ? m_files->createDirectories(m_path)
                                                       : FileResult::failure("something else has the name");
    if (!made.ok)
        m_log->line("Create directory error: " + m_path + ": " + made.error);
    return made.ok;
}

std::optional<std::string> BufferDirectory::keep(const std::string& name, std::string_view bytes) const
{
    std::string reason = "no directory";
    if (bytes.size() > maxFileBytes)
        reason = "larger than the " + std::to_string(maxFileBytes) + " bytes the server takes in one request";
    else if (ensure()) {
        reason = "no free name";
        for (int copy = 0; copy <= maxCopies; ++copy) {
            const std::string path = m_path + "/" + name + (copy == 0 ? "" : "~" + std::to_string(copy));
            if (m_files->entryInfo(path).kind != EntryKind::missing)
                continue;
            bool taken = false;
            const FileResult created = m_files->createAtomically(path, bytes, taken);
            if (created.ok)
                return path;
            if (!taken) {
                reason = created.error;
                break;
            }
        }
    }
    m_log->line("Could not keep " + name + " in " + m_label + ": " + reason);
    return std::nullopt;
}

bool BufferDirectory::isKeptName(std::string_view name) const
{
    if (const std::size_t mark = copyMarkAt(name); mark != std::string_view::npos)
        name = name.substr(0, mark);
    return name.size() >= m_suffix.size() && name.substr(name.size() - m_suffix.size()) == m_suffix;
}

std::optional<std::string> BufferDirectory::skipReason(const std::string& name) const
{
    // An atomic write in progress, or cut short by a crash, leaves its temporary file beside the
    // name: "<name>." and six letters or digits.
    if (name.size() > 7 && name[name.size() - 7] == '.' &&
        std::all_of(name.end() - 6, name.end(), [](unsigned char c) { return std::isalnum(c) != 0; }) &&
        isKeptName(std::string_view(name).substr(0, name.size() - 7)))
        return "an unfinished write";
    // Sent, such a name would go out under another text than its own (U+FFFD in place of its bytes).
    if (escapeControl(name) != name)
        return "its name is not printable UTF-8";
    const EntryInfo info = m_files->entryInfo(m_path + "/" + name);
    switch (info.kind) {
    case EntryKind::regular:
        if (info.size == 0)
            return "empty";
        if (info.size > maxFileBytes)
            return "larger than " + std::to_string(maxFileBytes) + " bytes";
        // A second name of a file elsewhere (anyone's, outside the documents) is not ours to send
        // and then unlink.
        if (info.links > 1)
            return "a second name (hard link) of another file";
        return std::nullopt;
    case EntryKind::missing:
        return "gone";
    case EntryKind::directory:
        return "a directory";
    case EntryKind::symbolicLink:
        return "a symbolic link";
    case EntryKind::fifo:
        return "a FIFO";
    case EntryKind::other:
        break;
    }
    return "not a regular file";
}

std::vector<std::string> BufferDirectory::names() const
{
    std::vector<std::string> names;
    if (!present())
        return names;
    if (const FileResult listed = m_files->listDirectory(m_path, names); !listed.ok) {
        m_log->line("Cannot list " + m_path + ": " + listed.error);
        names.clear();
    }
    return names;
}

bool BufferDirectory::worthATry(const std::string& name, std::set<std::string>& reported) const
{
    const std::optional<std::string> reason = skipReason(name);
    if (reason && *reason != "gone" && reported.insert(name).second)
        m_log->line(m_label + " entry " + name + " not sent: " + *reason);
    return !reason;
}

std::vector<BufferDirectory::Entry> BufferDirectory::sendable(std::set<std::string>& reported) const
{
    std::vector<std::string> all = names();
    // Names begin with a stamp: the newest goes first.
    std::sort(all.begin(), all.end(), std::greater<>());
    std::vector<Entry> entries;
    for (std::string& name : all)
        if (worthATry(name, reported)) {
            std::string path = m_path + "/" + name;
            entries.push_back(Entry{std::move(name), std::move(path)});
        }
    return entries;
}

std::optional<BufferDirectory::Entry> BufferDirectory::oldest(std::set<std::string>& reported) const
{
    std::vector<std::string> all = names();
    std::sort(all.begin(), all.end());
    for (std::string& name : all)
        if (worthATry(name, reported)) {
            std::string path = m_path + "/" + name;
            return Entry{std::move(name), std::move(path)};
        }
    return std::nullopt;
}

std::optional<std::string> BufferDirectory::read(const Entry& entry) const
{
    std::string bytes;
    FileResult read = m_files->readAllWithoutFollowing(entry.path, bytes, maxFileBytes);
    if (read.ok && bytes.empty())
        read = FileResult::failure("empty");
    if (!read.ok) {
        m_log->line(m_label + " entry " + entry.name + " not sent: " + read.error);
        return std::nullopt;
    }
    return bytes;
}

bool BufferDirectory::remove(const std::string& path) const
{
    const FileResult removed = m_files->remove(path);
    if (!removed.ok)
        m_log->line("Error removing file at path: " + path + ": " + removed.error);
    return removed.ok;
}

std::string BufferDirectory::sentName(const std::string& name)
{
    const std::size_t mark = copyMarkAt(name);
    return mark == std::string::npos ? name : name.substr(0, mark);
}

} // namespace velorin
