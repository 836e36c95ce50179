#pragma once

#include "history/CatalogueSnapshot.h"
#include "history/HistoryState.h"
#include "history/HistoryView.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velorin {

class Files;
class Log;

// Where the catalogue leads to.
struct HistoryNavigation {
    // Opens the recording viewer on a file of the documents directory, given by its bare name.
    std::function<void(const std::string& name)> openViewer;
    // Selects the first tab, the monitor.
    std::function<void()> selectFirstTab;
};

struct HistoryContext {
    HistoryState& state; // shared by every catalogue screen of the process
    Files& files;
    Log& log;
    std::string documents;
    HistoryNavigation navigation;
};

// The catalogue tab: the recordings of the documents directory, narrowed by a month, day, hour and
// minute picker over their creation dates, or the marked-event files. Files are never opened here.
class HistoryController {
public:
    HistoryController(HistoryContext context, HistoryView& view);
    ~HistoryController();

    void viewDidLoad();
    void viewDidAppear();
    // 1 when the documents directory holds no recording, else 0.
    int reloadPickerView();
    std::vector<HistoryEntry> listFileAtPath(const std::string& path);
    void labelForHours();
    std::string monthNameString(int month) const { return m_view.monthNameString(month); }

    static constexpr int numberOfComponentsInPickerView() { return 4; }
    int pickerViewNumberOfRowsInComponent(int component) const;
    std::string pickerViewTitleForRowForComponent(int row, int component) const;
    void pickerViewDidSelectRowInComponent(int row, int component);
    // The row of the column's list that holds the chosen value; -1 while nothing is chosen there.
    int selectedRowInComponent(int component) const;

    static constexpr int numberOfSectionsInTableView() { return 1; }
    int tableViewNumberOfRowsInSection(int section) const;
    // The row's file name, as stored; the view shows it safely.
    const std::string& tableViewCellTextAtRow(int row) const;
    void tableViewDidSelectRowAtIndexPath(int row);

    void markedEventsClick();
    void continueClick();
    void rangeChanged();

    const HistoryState& state() const { return m_ctx.state; }

private:
    class SnapshotScope;
    const std::vector<std::int32_t>* column(int component) const;
    CatalogueSnapshot& snapshot(const std::string& path);
    int rebuildPicker();
    std::vector<HistoryEntry> listFiles(CatalogueSnapshot& snapshot);
    void showNoData();

    HistoryContext m_ctx;
    HistoryView& m_view;
    // Shared by the steps of one action, and kept for later actions while the directory vouches
    // that no name has come or gone since.
    std::unique_ptr<CatalogueSnapshot> m_snapshot;
    bool m_snapshotChecked = false; // in this action
    int m_actionDepth = 0;
};

} // namespace velorin
