#include "fakes/TempDir.h"
#include "platform/PosixFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin {
namespace {

// Enough recordings that the dates are looked up on other threads while the directory is still
// read, each with its own modification time, among names that are not dated: what comes back must
// be what one look at each name gives, in the listing's order.
TEST(PosixFilesDatesTest, DatesReadWhileListingAreEachNamesOwn)
{
    TempDir temp("velorin-dates");
    constexpr int recordings = 1500; // more than one batch of lookups
    for (int i = 0; i < recordings; ++i) {
        const std::string name = temp.path() + "/" + std::to_string(100000 + i) + ".ecg";
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0);
        const timespec when[2] = {{1'700'000'000 + i * 30, 0}, {1'700'000'000 + i * 30, 0}};
        ASSERT_EQ(::futimens(fd, when), 0);
        ::close(fd);
        if (i % 10 == 0)
            std::ofstream(temp.path() + "/" + std::to_string(100000 + i) + ".s2") << "";
    }
    ASSERT_EQ(::symlink("/nonexistent", (temp.path() + "/dangling.ecg").c_str()), 0);
    ASSERT_EQ(::mkdir((temp.path() + "/folder.ecg").c_str(), 0755), 0);

    PosixFiles files;
    std::vector<std::string> names, plainNames;
    std::vector<std::optional<CreationDate>> dates;
    ASSERT_TRUE(files.listDirectoryWithDates(temp.path(), ".ecg", names, dates).ok);
    ASSERT_TRUE(files.listDirectory(temp.path(), plainNames).ok);
    EXPECT_EQ(names, plainNames);
    ASSERT_EQ(dates.size(), names.size());
    int dated = 0;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (!names[i].ends_with(".ecg")) {
            EXPECT_FALSE(dates[i]) << names[i];
            continue;
        }
        const auto alone = files.creationDate(temp.path() + "/" + names[i]);
        ASSERT_TRUE(dates[i] && alone) << names[i];
        EXPECT_EQ(dates[i]->seconds, alone->seconds) << names[i];
        EXPECT_EQ(dates[i]->birth, alone->birth) << names[i];
        ++dated;
        if (!alone->birth && names[i].size() == 10) {
            EXPECT_EQ(alone->seconds, 1'700'000'000 + (std::stoi(names[i]) - 100000) * 30.0) << names[i];
        }
    }
    EXPECT_EQ(dated, recordings + 2); // the link and the folder are dated as themselves

    // Names no directory can hold are not looked up, and the names after them keep their own dates.
    const std::string slash = "folder.ecg/x", nul = std::string("100000.ecg\0x", 12);
    std::vector<const std::string*> asked{&slash, &nul};
    for (const std::string& name : names)
        asked.push_back(&name);
    files.creationDates(temp.path(), asked, dates);
    ASSERT_EQ(dates.size(), asked.size());
    EXPECT_FALSE(dates[0] || dates[1]);
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(dates[i + 2]->seconds, files.creationDate(temp.path() + "/" + names[i])->seconds) << names[i];

    // A link in place of the directory is not listed through.
    const std::string link = temp.path() + "-link";
    ASSERT_EQ(::symlink(temp.path().c_str(), link.c_str()), 0);
    EXPECT_FALSE(files.listDirectoryWithDates(link, ".ecg", names, dates).ok);
    EXPECT_TRUE(names.empty() && dates.empty());
    ::unlink(link.c_str());
}

} // namespace
} // namespace velorin
