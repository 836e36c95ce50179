#pragma once

#include "monitor/MonitorView.h"

#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <string>

class QBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace velorin {

class NoticeOverlay;
class NoticeQueue;
class Timers;
class ViewController;

// The monitor screen on Qt Widgets: every outlet is a real widget, and each button calls its
// controller action. The trace goes in a slot of its own (a black area until a trace widget takes it).
class MonitorWidget : public QWidget, public MonitorView {
    Q_OBJECT
public:
    explicit MonitorWidget(QWidget* parent = nullptr);
    ~MonitorWidget() override;

    // The controller whose actions the buttons call; the view lays out with it from now on.
    void setController(ViewController* controller);
    // Puts a trace widget where the black area was; the monitor owns it from then on.
    void setTraceWidget(QWidget* trace);
    QWidget* traceWidget() const { return m_trace; }
    // The main queue's timers, which pace the notices; given once, before the first notice.
    void setNoticeTimers(Timers& timers);
    // What opening the login screen and bringing the monitor's tab to the front do in this window.
    void onPresentLogin(std::function<void()> present) { m_presentLogin = std::move(present); }
    void onSelectMonitorTab(std::function<void()> select) { m_selectTab = std::move(select); }
    QWidget* outletWidget(Outlet outlet) const;

    void setShown(Outlet outlet, bool shown) override;
    void setEnabled(Outlet outlet, bool enabled) override;
    void setText(Outlet outlet, const std::string& text) override;
    void setImage(Outlet outlet, const std::string& imageName) override;
    void setProgress(Outlet outlet, float progress) override;
    void setTint(Outlet outlet, Tint tint) override;
    void setScale(Outlet outlet, float across, float up) override;
    void setBorder(Outlet outlet, float width, Rgba colour) override;
    void makeToast(const std::string& message) override;
    DeviceOrientation orientation() const override;
    void presentLogin() override;
    void selectMonitorTab() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPushButton* addButton(Outlet outlet, const QString& title, void (ViewController::*action)());
    void call(void (ViewController::*action)());
    // Puts the "No signal" label in the middle of a trace area.
    void holdNoSignal(QWidget* area);

    ViewController* m_controller = nullptr;
    bool m_layoutPending = false;
    std::map<Outlet, QWidget*> m_outlets;
    QBoxLayout* m_traceRow = nullptr;
    QWidget* m_trace = nullptr;
    QProgressBar* m_battery = nullptr;
    std::unique_ptr<NoticeOverlay> m_noticeOverlay;
    std::unique_ptr<NoticeQueue> m_notices; // after the overlay, which it draws on
    std::function<void()> m_presentLogin;
    std::function<void()> m_selectTab;
};

} // namespace velorin
