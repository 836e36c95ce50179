#include "platform/HomeDirectory.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace velorin {

namespace {

bool usableHome(const char* path)
{
    if (!path || path[0] != '/')
        return false;
    const std::filesystem::path home(path);
    std::error_code error;
    return home.lexically_normal() != "/" && !std::filesystem::equivalent(home, "/", error);
}

} // namespace

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); usableHome(home))
        return home;
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        usableHome(found->pw_dir))
        return found->pw_dir;
    return {};
}

std::string xdgDocumentsDirectory()
{
    const char* value = std::getenv("XDG_DOCUMENTS_DIR");
    return usableHome(value) ? value : "";
}

} // namespace velorin
