#pragma once

#include "history/HistoryController.h"
#include "history/HistoryView.h"

#include <QWidget>

#include <array>
#include <memory>

class QLabel;
class QListView;
class QListWidget;
class QPushButton;

namespace velorin {

class HistoryTableModel;
class SegmentedControl;

// The history tab: the four-column date picker, the table of recordings and the marked-events
// button. Each time the tab comes into view (chosen, or back from a page over the tab bar) the
// catalogue is looked at afresh.
class HistoryPage : public QWidget, private HistoryView {
    Q_OBJECT
public:
    explicit HistoryPage(HistoryContext context, QWidget* parent = nullptr);
    ~HistoryPage() override;

    HistoryController& controller() { return *m_controller; }
    QListWidget* pickerColumn(int component) const { return m_columns[static_cast<std::size_t>(component)]; }
    QListView* table() const { return m_table; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setShown(HistoryOutlet outlet, bool shown) override;
    void setRangeSegment(int index) override;
    void reloadAllComponents() override;
    void reloadData() override;
    void addNoDataLabel(const std::string& text) override;
    void addColumnCaptions(const std::vector<std::string>& captions) override;
    std::string monthNameString(int month) const override;
    void placeNoDataParts();

    QWidget* m_pickerArea;
    QWidget* m_picker;
    std::array<QLabel*, 4> m_captions{};
    std::array<QListWidget*, 4> m_columns{};
    QListView* m_table;
    HistoryTableModel* m_model;
    SegmentedControl* m_rangeSelector;
    QPushButton* m_continueButton;
    QLabel* m_noDataLabel = nullptr;
    std::unique_ptr<HistoryController> m_controller;
};

} // namespace velorin
