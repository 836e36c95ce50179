#include "history/HistoryController.h"

#include "platform/Files.h"
#include "platform/Log.h"

#include <algorithm>
#include <array>

namespace velorin {

namespace {

constexpr int monthColumn = 0;
constexpr int dayColumn = 1;
constexpr int hourColumn = 2;
constexpr int minuteColumn = 3;
constexpr int rangeSegmentAtShowing = 2;
constexpr const char* recordingSuffix = ".ecg";
constexpr const char* eventSuffix = ".event";

// Appends each value once, keeping the order of first appearance. Seeded with what the list already
// holds, since the month list survives rebuilds.
class DistinctList {
public:
    explicit DistinctList(std::vector<std::int32_t>& list) : m_list(list)
    {
        for (std::int32_t value : list)
            if (value >= 0 && value < static_cast<std::int32_t>(m_seen.size()))
                m_seen[static_cast<std::size_t>(value)] = true;
    }
    void add(std::int32_t value)
    {
        if (value < 0 || value >= static_cast<std::int32_t>(m_seen.size()) || m_seen[static_cast<std::size_t>(value)])
            return;
        m_seen[static_cast<std::size_t>(value)] = true;
        m_list.push_back(value);
    }

private:
    std::vector<std::int32_t>& m_list;
    std::array<bool, 60> m_seen{};
};

} // namespace

// Every public operation that looks at the directory opens one; after the outermost one the
// directory is checked again before its snapshot serves once more.
class HistoryController::SnapshotScope {
public:
    explicit SnapshotScope(HistoryController& owner) : m_owner(owner) { ++m_owner.m_actionDepth; }
    ~SnapshotScope()
    {
        if (--m_owner.m_actionDepth != 0)
            return;
        m_owner.m_snapshotChecked = false;
        if (m_owner.m_snapshot && !m_owner.m_snapshot->version())
            m_owner.m_snapshot.reset();
    }
    SnapshotScope(const SnapshotScope&) = delete;
    SnapshotScope& operator=(const SnapshotScope&) = delete;

private:
    HistoryController& m_owner;
};

HistoryController::HistoryController(HistoryContext context, HistoryView& view)
    : m_ctx(std::move(context)), m_view(view)
{
}

HistoryController::~HistoryController() = default;

CatalogueSnapshot& HistoryController::snapshot(const std::string& named)
{
    // The documents directory may itself be a link the user made (to another disk, say); the
    // recordings are written through it, so they are listed through it.
    const std::string path = m_ctx.files.followLinks(named);
    const bool samePlace = m_snapshot && m_snapshot->directory() == path;
    if (samePlace && m_snapshotChecked)
        return *m_snapshot;
    // Taken before the listing: a name that comes while the directory is read changes it.
    std::optional<std::string> version = m_ctx.files.directoryVersion(path);
    if (samePlace && version && m_snapshot->version() == version)
        m_snapshot->refreshChangeableDates();
    else
        m_snapshot = std::make_unique<CatalogueSnapshot>(m_ctx.files, path, std::move(version), recordingSuffix);
    m_snapshotChecked = true;
    return *m_snapshot;
}

void HistoryController::viewDidLoad()
{
    m_ctx.state.monthList.clear();
}

void HistoryController::viewDidAppear()
{
    SnapshotScope scope(*this);
    HistoryState& s = m_ctx.state;
    m_view.setRangeSegment(rangeSegmentAtShowing);
    s.fileList.clear();
    m_view.reloadData();
    s.dayList.clear();
    s.hourList.clear();
    s.minuteList.clear();
    if (reloadPickerView() == 1) {
        showNoData();
        return;
    }
    labelForHours();
    m_view.setShown(HistoryOutlet::continueButton, false);
    m_view.setShown(HistoryOutlet::uipicker, true);
    // The first listed month and its first listed day: for stamp-named recordings, the latest.
    if (!s.monthList.empty())
        pickerViewDidSelectRowInComponent(0, monthColumn);
    if (!s.dayList.empty())
        pickerViewDidSelectRowInComponent(0, dayColumn);
}

void HistoryController::showNoData()
{
    m_view.addNoDataLabel("No Data available");
    m_view.setShown(HistoryOutlet::continueButton, true);
    m_view.setShown(HistoryOutlet::uipicker, false);
}

int HistoryController::reloadPickerView()
{
    SnapshotScope scope(*this);
    return rebuildPicker();
}

int HistoryController::rebuildPicker()
{
    HistoryState& s = m_ctx.state;
    CatalogueSnapshot& directory = snapshot(m_ctx.documents);
    const CatalogueSnapshot::Listing& recordings = directory.endingWith(recordingSuffix);

    if (s.selectedMonth != 0 && s.selectedDay == 0 && s.selectedHour == 0) {
        s.dayList.clear();
        s.hourList.clear();
    }
    if (s.selectedDay != 0 && s.selectedHour == 0)
        s.hourList.clear();
    s.minuteList.clear();

    if (recordings.indexes.empty()) {
        s.monthList.clear();
        s.dayList.clear();
        s.hourList.clear();
        s.minuteList.clear();
        m_view.setShown(HistoryOutlet::uipicker, false);
        return 1;
    }

    DistinctList months(s.monthList), days(s.dayList), hours(s.hourList), minutes(s.minuteList);
    for (const CatalogueSnapshot::Attributes& file : recordings.attributes) {
        if (!file.parts)
            continue;
        const DateParts& p = *file.parts;
        if ((s.selectedMonth != 0 && p.month != s.selectedMonth) || (s.selectedDay != 0 && p.day != s.selectedDay) ||
            (s.selectedHour != 0 && p.hour != s.selectedHour))
            continue;
        months.add(p.month);
        days.add(p.day);
        hours.add(p.hour);
        minutes.add(p.minute);
    }
    m_view.reloadAllComponents();
    s.fileList = listFiles(directory);
    m_view.reloadData();
    return 0;
}

std::vector<HistoryEntry> HistoryController::listFileAtPath(const std::string& path)
{
    SnapshotScope scope(*this);
    return listFiles(snapshot(path));
}

std::vector<HistoryEntry> HistoryController::listFiles(CatalogueSnapshot& directory)
{
    HistoryState& s = m_ctx.state;
    const bool events = s.eventsMode == 1;
    if (events)
        s.eventsMode = 0;
    std::vector<HistoryEntry> entries;
    const CatalogueSnapshot::Listing& listing = directory.endingWith(events ? eventSuffix : recordingSuffix);
    for (std::size_t i = 0; i < listing.indexes.size(); ++i) {
        const CatalogueSnapshot::Attributes& file = listing.attributes[i];
        const std::string& name = directory.names()[listing.indexes[i]];
        if (events) {
            entries.push_back({name, file.creationDate});
            continue;
        }
        if (!file.parts || s.selectedMonth == 0)
            continue;
        const DateParts& p = *file.parts;
        bool listed = p.month == s.selectedMonth;
        if (s.selectedDay != 0) {
            listed = listed && p.day == s.selectedDay;
            if (s.selectedHour != 0) {
                listed = listed && p.hour == s.selectedHour;
                if (s.selectedMinute != 0)
                    listed = listed && p.minute == s.selectedMinute;
            }
        }
        if (listed)
            entries.push_back({name, file.creationDate});
    }
    // A line per file of the whole directory, listed or not; built only when someone reads it.
    if (m_ctx.log.verbose()) {
        std::string line;
        for (std::size_t i = 0; i < directory.names().size(); ++i) {
            line = "File " + std::to_string(i + 1) + ": " + directory.names()[i];
            m_ctx.log.line(line);
        }
    }
    return entries;
}

void HistoryController::labelForHours()
{
    m_view.addColumnCaptions({"Month", "Day", "Hour", "Min"});
}

const std::vector<std::int32_t>* HistoryController::column(int component) const
{
    switch (component) {
    case monthColumn:
        return &m_ctx.state.monthList;
    case dayColumn:
        return &m_ctx.state.dayList;
    case hourColumn:
        return &m_ctx.state.hourList;
    case minuteColumn:
        return &m_ctx.state.minuteList;
    default:
        return nullptr;
    }
}

int HistoryController::pickerViewNumberOfRowsInComponent(int component) const
{
    const auto* list = column(component);
    return list ? static_cast<int>(list->size()) : 0;
}

std::string HistoryController::pickerViewTitleForRowForComponent(int row, int component) const
{
    const auto* list = column(component);
    if (!list || row < 0 || row >= static_cast<int>(list->size()))
        return {};
    const std::int32_t value = (*list)[static_cast<std::size_t>(row)];
    return component == monthColumn ? monthNameString(value) : std::to_string(value);
}

void HistoryController::pickerViewDidSelectRowInComponent(int row, int component)
{
    const auto* list = column(component);
    // A row the view still showed from before a rebuild chooses nothing.
    if (!list || row < 0 || row >= static_cast<int>(list->size()))
        return;
    SnapshotScope scope(*this);
    HistoryState& s = m_ctx.state;
    const std::int32_t value = (*list)[static_cast<std::size_t>(row)];
    switch (component) {
    case monthColumn:
        s.selectedMonth = value;
        s.selectedDay = 0;
        s.selectedHour = 0;
        break;
    case dayColumn:
        s.selectedDay = value;
        s.selectedHour = 0;
        break;
    case hourColumn:
        s.selectedHour = value;
        s.selectedMinute = 0;
        break;
    default:
        s.selectedMinute = value;
        break;
    }
    if (rebuildPicker() == 1) {
        // The directory emptied or went away while shown: its rows would name files that are gone.
        s.fileList.clear();
        m_view.reloadData();
        showNoData();
    }
}

int HistoryController::selectedRowInComponent(int component) const
{
    const HistoryState& s = m_ctx.state;
    const std::int32_t chosen[] = {s.selectedMonth, s.selectedDay, s.selectedHour, s.selectedMinute};
    const auto* list = column(component);
    if (!list || chosen[component] == 0)
        return -1;
    const auto found = std::find(list->begin(), list->end(), chosen[component]);
    return found == list->end() ? -1 : static_cast<int>(found - list->begin());
}

int HistoryController::tableViewNumberOfRowsInSection(int) const
{
    return static_cast<int>(m_ctx.state.fileList.size());
}

const std::string& HistoryController::tableViewCellTextAtRow(int row) const
{
    static const std::string none;
    const auto& list = m_ctx.state.fileList;
    return row >= 0 && row < static_cast<int>(list.size()) ? list[static_cast<std::size_t>(row)].name : none;
}

void HistoryController::tableViewDidSelectRowAtIndexPath(int row)
{
    const auto& list = m_ctx.state.fileList;
    if (row < 0 || row >= static_cast<int>(list.size()) || !m_ctx.navigation.openViewer)
        return;
    // A copy: the viewer may come back to this screen, which rebuilds the list, before it returns.
    const std::string name = list[static_cast<std::size_t>(row)].name;
    m_ctx.navigation.openViewer(name);
}

void HistoryController::markedEventsClick()
{
    SnapshotScope scope(*this);
    m_ctx.state.eventsMode = 1;
    m_ctx.state.fileList = listFiles(snapshot(m_ctx.documents));
    m_view.reloadData();
}

void HistoryController::continueClick()
{
    if (m_ctx.navigation.selectFirstTab)
        m_ctx.navigation.selectFirstTab();
}

void HistoryController::rangeChanged()
{
    m_view.reloadData();
}

} // namespace velorin
