#pragma once

#include <string>
#include <vector>

namespace velorin {

enum class HistoryOutlet { uipicker, tableView, rangeSelector, continueButton };

// The catalogue screen as its controller sees it. The picker and the table ask the controller for
// their rows when reloaded.
class HistoryView {
public:
    virtual ~HistoryView() = default;
    virtual void setShown(HistoryOutlet outlet, bool shown) = 0;
    virtual void setRangeSegment(int index) = 0;
    // The picker's four columns.
    virtual void reloadAllComponents() = 0;
    // The table's rows.
    virtual void reloadData() = 0;
    // Stays on the screen once added.
    virtual void addNoDataLabel(const std::string& text) = 0;
    // One caption over each picker column.
    virtual void addColumnCaptions(const std::vector<std::string>& captions) = 0;
    // Month m (1..12) in the user's language, as it stands alone (not inside a date).
    virtual std::string monthNameString(int month) const = 0;
};

} // namespace velorin
