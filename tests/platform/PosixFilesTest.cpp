#include "fakes/TempDir.h"
#include "platform/PosixFiles.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velorin {
namespace {

// Whatever writes a whole file (settings, logo, a saved report) replaces only a regular file: a
// FIFO or a device the user named stays what it is, directly or through a link.
TEST(PosixFilesTest, OnlyARegularFileIsReplacedWhole)
{
    TempDir temp("velorin-posix");
    const std::string fifo = temp.path() + "/pipe", device = temp.path() + "/null", plain = temp.path() + "/plain";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const bool haveDevice = ::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0; // needs root
    std::ofstream(plain) << "old";
    ASSERT_EQ(::symlink(fifo.c_str(), (temp.path() + "/to-pipe").c_str()), 0);
    ASSERT_EQ(::symlink(plain.c_str(), (temp.path() + "/to-plain").c_str()), 0);

    PosixFiles files;
    for (const std::string& name : {fifo, temp.path() + "/to-pipe", device, temp.path()}) {
        if (name == device && !haveDevice)
            continue;
        EXPECT_FALSE(files.writeAtomically(name, "new").ok) << name;
    }
    EXPECT_EQ(files.entryInfo(fifo).kind, EntryKind::fifo);
    if (haveDevice) {
        EXPECT_EQ(files.entryInfo(device).kind, EntryKind::other);
    }

    ASSERT_TRUE(files.writeAtomically(temp.path() + "/to-plain", "new").ok);
    EXPECT_EQ(files.entryInfo(temp.path() + "/to-plain").kind, EntryKind::symbolicLink);
    std::string bytes;
    ASSERT_TRUE(files.readAll(plain, bytes, 100).ok);
    EXPECT_EQ(bytes, "new");
    EXPECT_TRUE(files.writeAtomically(temp.path() + "/fresh", "x").ok);
}

} // namespace
} // namespace velorin
