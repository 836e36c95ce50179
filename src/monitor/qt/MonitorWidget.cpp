#include "monitor/qt/MonitorWidget.h"

#include "monitor/ViewController.h"
#include "monitor/qt/MonitorIcons.h"
#include "notices/NoticeQueue.h"
#include "notices/qt/NoticeOverlay.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace velorin {

namespace {

constexpr int iconSize = 28;
constexpr int batteryHeight = 2; // the bar's own height, before its stretch

QWidget* blackArea(QWidget* parent)
{
    auto* area = new QWidget(parent);
    area->setObjectName("traceSlot");
    area->setAutoFillBackground(true);
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, Qt::black);
    area->setPalette(palette);
    area->setMinimumSize(120, 80);
    area->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return area;
}

} // namespace

MonitorWidget::MonitorWidget(QWidget* parent) : QWidget(parent)
{
    auto* page = new QVBoxLayout(this);

    // Sensor, battery, upload and lock.
    auto* status = new QHBoxLayout;
    page->addLayout(status);
    auto* sensorButton = new QPushButton(tr("Sensor"), this);
    sensorButton->setObjectName("sensorButton");
    connect(sensorButton, &QPushButton::clicked, this, [this] { call(&ViewController::showDropDownList); });
    status->addWidget(sensorButton);
    auto* sensorImage = new QLabel(this);
    sensorImage->setPixmap(monitorIcon("Cancel", iconSize));
    m_outlets[Outlet::sensorImage] = sensorImage;
    status->addWidget(sensorImage);
    auto* sensorName = new QLabel(this);
    m_outlets[Outlet::sensorName] = sensorName;
    status->addWidget(sensorName, 1);
    m_battery = new QProgressBar(this);
    m_battery->setRange(0, 1000);
    m_battery->setValue(0);
    m_battery->setTextVisible(false);
    m_battery->setFixedSize(80, batteryHeight);
    m_outlets[Outlet::batteryProgress] = m_battery;
    status->addWidget(m_battery);
    auto* batteryText = new QLabel(this);
    m_outlets[Outlet::batteryLevels] = batteryText;
    status->addWidget(batteryText);
    auto* cloud = new QLabel(this);
    cloud->setPixmap(cloudIcon({}, iconSize));
    m_outlets[Outlet::cloudImage] = cloud;
    status->addWidget(cloud);
    auto* uploadStatus = new QLabel(this);
    uploadStatus->setObjectName("uploadStatus");
    m_outlets[Outlet::uploadStatus] = uploadStatus;
    status->addWidget(uploadStatus);
    status->addWidget(addButton(Outlet::disconnect, tr("Disconnect"), &ViewController::disconnectClick));
    status->addWidget(addButton(Outlet::unlockButton, tr("Unlock"), &ViewController::unlockClick));
    auto* login = new QPushButton(tr("Login"), this);
    login->setObjectName("backToLogin");
    connect(login, &QPushButton::clicked, this, [this] { call(&ViewController::backToLogin); });
    status->addWidget(login);

    // The trace, with the landscape Start/Stop pair beside it.
    m_traceRow = new QHBoxLayout;
    page->addLayout(m_traceRow, 1);
    m_trace = blackArea(this);
    m_traceRow->addWidget(m_trace, 1);
    auto* side = new QVBoxLayout;
    m_traceRow->addLayout(side);
    side->addStretch();
    side->addWidget(addButton(Outlet::startLandscape, tr("Start"), &ViewController::startClick));
    side->addWidget(addButton(Outlet::stopLandscape, tr("Stop"), &ViewController::stopClick));
    side->addStretch();

    // Trace controls and heart rate.
    auto* controls = new QHBoxLayout;
    page->addLayout(controls);
    for (auto [outlet, name] : {std::pair{Outlet::zoomIn, "zoomIn"}, std::pair{Outlet::zoomOut, "zoomOut"}}) {
        auto* image = new QLabel(this);
        image->setObjectName(name);
        image->setPixmap(monitorIcon(name, iconSize));
        image->setCursor(Qt::PointingHandCursor);
        image->installEventFilter(this);
        m_outlets[outlet] = image;
        controls->addWidget(image);
    }
    controls->addWidget(addButton(Outlet::ampUp, tr("Amplitude up"), &ViewController::amplitudeUp));
    controls->addWidget(addButton(Outlet::ampDown, tr("Amplitude down"), &ViewController::amplitudeDown));
    controls->addStretch();
    controls->addWidget(addButton(Outlet::markEventButton, tr("Mark event"), &ViewController::markEvent));
    for (Outlet o : {Outlet::bpmLabel, Outlet::bpm2Label}) {
        auto* label = new QLabel(this);
        QFont font = label->font();
        font.setPointSizeF(font.pointSizeF() * 1.6);
        font.setBold(o == Outlet::bpmLabel);
        label->setFont(font);
        m_outlets[o] = label;
        controls->addWidget(label);
    }

    // The portrait Start/Stop pair below the trace.
    auto* bottom = new QHBoxLayout;
    page->addLayout(bottom);
    bottom->addWidget(addButton(Outlet::startButton, tr("Start"), &ViewController::startClick));
    bottom->addWidget(addButton(Outlet::StopButton, tr("Stop"), &ViewController::stopClick));

    for (Outlet o : {Outlet::StopButton, Outlet::stopLandscape, Outlet::startLandscape, Outlet::unlockButton})
        m_outlets[o]->hide();

    auto* noSignal = new QLabel(tr("No signal"), this);
    noSignal->setObjectName("noSignal");
    QFont font = noSignal->font();
    font.setPointSizeF(font.pointSizeF() * 1.6);
    font.setBold(true);
    noSignal->setFont(font);
    noSignal->setStyleSheet(QStringLiteral("color: #d0d0d0; background: transparent;"));
    noSignal->setAttribute(Qt::WA_TransparentForMouseEvents); // a tap on it still pauses the trace
    noSignal->hide();
    m_outlets[Outlet::noSignal] = noSignal;
    holdNoSignal(m_trace);

    m_noticeOverlay = std::make_unique<NoticeOverlay>(this);
}

MonitorWidget::~MonitorWidget() = default;

void MonitorWidget::holdNoSignal(QWidget* area)
{
    // Laid out in the trace area itself, so it stays centred over whatever size the trace takes.
    QWidget* noSignal = outletWidget(Outlet::noSignal);
    const bool shown = noSignal->isVisibleTo(this);
    auto* layout = qobject_cast<QVBoxLayout*>(area->layout());
    if (!layout)
        layout = new QVBoxLayout(area);
    layout->addWidget(noSignal, 0, Qt::AlignCenter);
    noSignal->setVisible(shown);
}

QPushButton* MonitorWidget::addButton(Outlet outlet, const QString& title, void (ViewController::*action)())
{
    auto* button = new QPushButton(title, this);
    connect(button, &QPushButton::clicked, this, [this, action] { call(action); });
    m_outlets[outlet] = button;
    return button;
}

void MonitorWidget::call(void (ViewController::*action)())
{
    if (m_controller)
        (m_controller->*action)();
}

void MonitorWidget::setNoticeTimers(Timers& timers)
{
    if (m_notices)
        return;
    m_notices = std::make_unique<NoticeQueue>(*m_noticeOverlay, timers);
    m_noticeOverlay->onTapped([queue = m_notices.get()](NoticeId id) { queue->noticeTapped(id); });
}

void MonitorWidget::setController(ViewController* controller)
{
    m_controller = controller;
}

void MonitorWidget::setTraceWidget(QWidget* trace)
{
    trace->setParent(this);
    trace->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    delete m_traceRow->replaceWidget(m_trace, trace);
    holdNoSignal(trace);
    delete m_trace;
    m_trace = trace;
    trace->show();
}

QWidget* MonitorWidget::outletWidget(Outlet outlet) const
{
    const auto found = m_outlets.find(outlet);
    return found == m_outlets.end() ? nullptr : found->second;
}

void MonitorWidget::setShown(Outlet outlet, bool shown)
{
    QWidget* w = outletWidget(outlet);
    if (!w || w->isVisibleTo(this) == shown)
        return;
    w->setVisible(shown);
    // Showing or hiding a control lays the screen out again, and every layout puts the Start/Stop
    // pair of the window's shape in place; one pass for all changes of this turn.
    if (m_controller && !m_layoutPending) {
        m_layoutPending = true;
        QMetaObject::invokeMethod(this, [this] {
            m_layoutPending = false;
            if (m_controller)
                m_controller->viewDidLayoutSubviews();
        }, Qt::QueuedConnection);
    }
}

void MonitorWidget::setEnabled(Outlet outlet, bool enabled)
{
    if (QWidget* w = outletWidget(outlet))
        w->setEnabled(enabled);
}

void MonitorWidget::setText(Outlet outlet, const std::string& text)
{
    QWidget* w = outletWidget(outlet);
    if (outlet == Outlet::uploadStatus)
        outletWidget(Outlet::cloudImage)->setToolTip(QString::fromStdString(text));
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(QString::fromStdString(text));
    else if (auto* button = qobject_cast<QPushButton*>(w))
        button->setText(QString::fromStdString(text));
}

void MonitorWidget::setImage(Outlet outlet, const std::string& imageName)
{
    auto* label = qobject_cast<QLabel*>(outletWidget(outlet));
    if (!label)
        return;
    label->setPixmap(outlet == Outlet::cloudImage ? cloudIcon(imageName, iconSize) : monitorIcon(imageName, iconSize));
    // The cloud's tooltip is the upload status, set with its text.
    if (outlet != Outlet::cloudImage)
        label->setToolTip(QString::fromStdString(imageName));
}

void MonitorWidget::setProgress(Outlet outlet, float progress)
{
    if (outlet == Outlet::batteryProgress)
        m_battery->setValue(static_cast<int>(std::clamp(progress, 0.0f, 1.0f) * 1000.0f));
}

void MonitorWidget::setTint(Outlet outlet, Tint tint)
{
    if (outlet != Outlet::batteryProgress)
        return;
    m_battery->setStyleSheet(tint == Tint::red ? "QProgressBar::chunk { background: rgb(220, 40, 40); }" : QString());
}

void MonitorWidget::setScale(Outlet outlet, float across, float up)
{
    if (outlet != Outlet::batteryProgress)
        return;
    m_battery->setFixedSize(static_cast<int>(80 * across), std::max(1, static_cast<int>(batteryHeight * up)));
}

void MonitorWidget::setBorder(Outlet outlet, float width, Rgba colour)
{
    QWidget* w = outletWidget(outlet);
    if (!w)
        return;
    if (width <= 0) {
        w->setStyleSheet({});
        return;
    }
    const QColor c = QColor::fromRgbF(colour.red, colour.green, colour.blue, colour.alpha);
    w->setStyleSheet(QStringLiteral("QPushButton { border: %1px solid %2; border-radius: 4px; padding: 4px 10px; }")
                         .arg(std::max(1, static_cast<int>(width)))
                         .arg(c.name(QColor::HexArgb)));
}

void MonitorWidget::makeToast(const std::string& message)
{
    if (m_notices)
        m_notices->makeToast(message);
}

DeviceOrientation MonitorWidget::orientation() const
{
    const QWidget* w = window();
    return orientationOfWindow(w->width(), w->height());
}

void MonitorWidget::presentLogin()
{
    if (m_presentLogin)
        m_presentLogin();
}

void MonitorWidget::selectMonitorTab()
{
    if (m_selectTab)
        m_selectTab();
}

void MonitorWidget::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_controller)
        m_controller->viewDidLayoutSubviews();
}

bool MonitorWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == outletWidget(Outlet::zoomIn)) {
            call(&ViewController::zoom);
            return true;
        }
        if (watched == outletWidget(Outlet::zoomOut)) {
            call(&ViewController::unzoom);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace velorin
