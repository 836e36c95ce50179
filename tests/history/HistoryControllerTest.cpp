#include "history/HistoryController.h"
#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "fakes/TempDir.h"
#include "platform/LocalTime.h"
#include "platform/PosixFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sys/stat.h>

namespace velorin {
namespace {

struct FakeHistoryView : HistoryView {
    void setShown(HistoryOutlet, bool) override {}
    void setRangeSegment(int) override {}
    void reloadAllComponents() override {}
    void reloadData() override {}
    void addNoDataLabel(const std::string&) override {}
    void addColumnCaptions(const std::vector<std::string>&) override {}
    std::string monthNameString(int month) const override { return "M" + std::to_string(month); }
};

constexpr const char* documents = "/docs";

struct HistoryRig {
    HistoryRig()
    {
        files.directories.insert(documents);
        controller.viewDidLoad();
    }
    // A file whose creation date is the local time given as "YYYY-MM-DDTHH:MM:SS"; without one, its
    // attributes cannot be read.
    void add(const std::string& name, const char* created = nullptr)
    {
        const std::string path = std::string(documents) + "/" + name;
        files.files[path] = "";
        if (created)
            files.creationDates[path] = *parseLocalDateTime(created);
    }
    std::vector<std::string> table() const
    {
        std::vector<std::string> names;
        for (const HistoryEntry& entry : state.fileList)
            names.push_back(entry.name);
        return names;
    }
    int rowOf(int component, std::int32_t value) const
    {
        const std::vector<std::int32_t>* lists[] = {&state.monthList, &state.dayList, &state.hourList,
                                                    &state.minuteList};
        const auto& list = *lists[component];
        return static_cast<int>(std::find(list.begin(), list.end(), value) - list.begin());
    }
    void pick(int component, std::int32_t value)
    {
        controller.pickerViewDidSelectRowInComponent(rowOf(component, value), component);
    }

    MemoryFiles files;
    FakeLog log;
    HistoryState state;
    FakeHistoryView view;
    std::vector<std::string> opened;
    HistoryController controller{
        HistoryContext{state, files, log, documents, {[this](const std::string& n) { opened.push_back(n); }, {}}},
        view};
};

using Names = std::vector<std::string>;
using Values = std::vector<std::int32_t>;

// Opening a row, the marked events and a directory gone while shown are met through the page
// (HistoryPageTest); here, what the picker makes of odd dates.
TEST(HistoryControllerTest, FirstShowingListsTheLatestDayWithMaysOfAllYearsTogether)
{
    HistoryRig rig;
    rig.add("2024-05-03_090000.ecg", "2024-05-03T09:00:00");
    rig.add("2025-04-30_120000.ecg", "2025-04-30T12:00:00");
    rig.add("2025-05-01_080000.ecg", "2025-05-01T08:00:00");
    rig.add("2025-05-03_100000.ecg", "2025-05-03T10:00:00");
    rig.add("2025-05-04_070000.ecg"); // cannot be inspected: left out, the older files still count
    rig.add("2025-05-03_100000.s2", "2025-05-03T10:00:00");
    rig.add("2024-01-02_030405.event", "2024-01-02T03:04:05");
    rig.add("2025-05-03_100500.event"); // no date: listed by name alone
    rig.controller.viewDidAppear();

    EXPECT_EQ(rig.state.monthList, (Values{5, 4}));
    EXPECT_EQ(rig.state.dayList, (Values{3, 1}));
    EXPECT_EQ(rig.table(), (Names{"2025-05-03_100000.ecg", "2024-05-03_090000.ecg"}));
    rig.controller.markedEventsClick();
    EXPECT_EQ(rig.table(), (Names{"2025-05-03_100500.event", "2024-01-02_030405.event"}));

    // Gone while shown: a row still on the screen opens nothing.
    rig.files.directories.clear();
    rig.pick(0, 5);
    EXPECT_TRUE(rig.state.fileList.empty());
    rig.controller.tableViewDidSelectRowAtIndexPath(0);
    EXPECT_TRUE(rig.opened.empty());
}

// What is learnt from one look at a real directory serves later choices only while no name has
// come or gone; the directory's times are set back each time, as if the change were long past.
TEST(HistoryControllerTest, ARealDirectoryIsLookedAtAfreshOnceANameComesOrGoes)
{
    TempDir temp("velorin-catalogue");
    const std::time_t hourAgo = ::time(nullptr) - 3600;
    int changes = 0;
    const auto settle = [&] {
        const timespec past[2] = {{hourAgo + changes, 0}, {hourAgo + changes, 0}};
        ++changes;
        ASSERT_EQ(::utimensat(AT_FDCWD, temp.path().c_str(), past, 0), 0);
    };
    const auto create = [&](const std::string& name) { std::ofstream(temp.path() + "/" + name) << ""; };
    create("2025-05-03_100000.ecg");
    create("2025-05-03_100030.ecg");
    settle();
    PosixFiles files;
    FakeLog log;
    HistoryState state;
    FakeHistoryView view;
    HistoryController controller(HistoryContext{state, files, log, temp.path(), {}}, view);
    controller.viewDidLoad();
    controller.viewDidAppear();
    ASSERT_EQ(state.fileList.size(), 2u);

    create("2025-05-03_100100.ecg");
    settle();
    controller.pickerViewDidSelectRowInComponent(0, 0);
    ASSERT_EQ(state.fileList.size(), 3u);
    EXPECT_EQ(state.fileList[0].name, "2025-05-03_100100.ecg");

    std::remove((temp.path() + "/2025-05-03_100000.ecg").c_str());
    settle();
    controller.pickerViewDidSelectRowInComponent(0, 0);
    EXPECT_EQ(state.fileList.size(), 2u);
}

} // namespace
} // namespace velorin
