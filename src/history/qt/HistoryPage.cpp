#include "history/qt/HistoryPage.h"

#include "history/qt/HistoryTableModel.h"
#include "settings/qt/SegmentedControl.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace velorin {

namespace {

// Where the "nothing here" message and the way back sit, measured from the picker's corner.
constexpr int noDataLabelDrop = 70;
constexpr int noDataLabelWidth = 300;
constexpr int continueButtonDrop = 120;

void keepSpaceWhenHidden(QWidget* widget)
{
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

} // namespace

HistoryPage::HistoryPage(HistoryContext context, QWidget* parent) : QWidget(parent)
{
    setObjectName("history");
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    m_rangeSelector = new SegmentedControl({tr("Chunks"), tr("Hours"), tr("Days")}, this);
    m_rangeSelector->setObjectName("rangeSelector");
    auto* markedEvents = new QPushButton(tr("Marked events"), this);
    markedEvents->setObjectName("markedEvents");
    top->addWidget(m_rangeSelector);
    top->addStretch();
    top->addWidget(markedEvents);
    layout->addLayout(top);

    auto* body = new QHBoxLayout;
    m_pickerArea = new QWidget(this);
    m_pickerArea->setFixedWidth(420);
    auto* pickerAreaLayout = new QVBoxLayout(m_pickerArea);
    pickerAreaLayout->setContentsMargins(0, 0, 0, 0);
    m_picker = new QWidget(m_pickerArea);
    m_picker->setObjectName("uipicker");
    keepSpaceWhenHidden(m_picker);
    auto* grid = new QGridLayout(m_picker);
    grid->setContentsMargins(0, 0, 0, 0);
    for (int c = 0; c < HistoryController::numberOfComponentsInPickerView(); ++c) {
        auto* caption = new QLabel(m_picker);
        caption->setAlignment(Qt::AlignCenter);
        keepSpaceWhenHidden(caption);
        caption->hide();
        auto* column = new QListWidget(m_picker);
        column->setObjectName(QStringLiteral("pickerColumn%1").arg(c));
        column->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        QFont rows = column->font();
        rows.setPointSize(14);
        column->setFont(rows);
        grid->addWidget(caption, 0, c);
        grid->addWidget(column, 1, c);
        grid->setColumnStretch(c, c == 0 ? 2 : 1);
        m_captions[static_cast<std::size_t>(c)] = caption;
        m_columns[static_cast<std::size_t>(c)] = column;
        // Queued: a choice rebuilds every column, this one included, which must not happen while
        // the column is still busy announcing the choice.
        connect(
            column, &QListWidget::currentRowChanged, this,
            [this, c](int row) {
                if (row >= 0)
                    m_controller->pickerViewDidSelectRowInComponent(row, c);
            },
            Qt::QueuedConnection);
    }
    pickerAreaLayout->addWidget(m_picker);
    m_continueButton = new QPushButton(tr("Continue"), m_pickerArea);
    m_continueButton->setObjectName("continueButton");
    m_continueButton->hide();
    body->addWidget(m_pickerArea);

    m_table = new QListView(this);
    m_table->setObjectName("tableView");
    m_table->setUniformItemSizes(true);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setFont(QFont(QStringLiteral("Arial"), 16));
    m_model = new HistoryTableModel(this);
    m_table->setModel(m_model);
    body->addWidget(m_table, 1);
    layout->addLayout(body, 1);

    m_controller = std::make_unique<HistoryController>(std::move(context), static_cast<HistoryView&>(*this));
    m_model->setController(m_controller.get());
    connect(m_table, &QListView::clicked, this,
            [this](const QModelIndex& index) { m_controller->tableViewDidSelectRowAtIndexPath(index.row()); });
    connect(markedEvents, &QPushButton::clicked, this, [this] { m_controller->markedEventsClick(); });
    connect(m_continueButton, &QPushButton::clicked, this, [this] { m_controller->continueClick(); });
    for (QPushButton* segment : m_rangeSelector->findChildren<QPushButton*>())
        connect(segment, &QPushButton::clicked, this, [this] { m_controller->rangeChanged(); });
    m_controller->viewDidLoad();
}

HistoryPage::~HistoryPage()
{
    m_model->setController(nullptr);
}

void HistoryPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A window coming back from the minimized state is no new showing of the screen.
    if (!event->spontaneous())
        m_controller->viewDidAppear();
}

void HistoryPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeNoDataParts();
}

void HistoryPage::setShown(HistoryOutlet outlet, bool shown)
{
    switch (outlet) {
    case HistoryOutlet::uipicker:
        m_picker->setVisible(shown);
        break;
    case HistoryOutlet::tableView:
        m_table->setVisible(shown);
        break;
    case HistoryOutlet::rangeSelector:
        m_rangeSelector->setVisible(shown);
        break;
    case HistoryOutlet::continueButton:
        placeNoDataParts();
        m_continueButton->setVisible(shown);
        m_continueButton->raise();
        break;
    }
}

void HistoryPage::setRangeSegment(int index)
{
    m_rangeSelector->setSelected(index);
}

void HistoryPage::reloadAllComponents()
{
    for (int c = 0; c < HistoryController::numberOfComponentsInPickerView(); ++c) {
        QListWidget* column = m_columns[static_cast<std::size_t>(c)];
        const QSignalBlocker quiet(column);
        column->clear();
        for (int row = 0; row < m_controller->pickerViewNumberOfRowsInComponent(c); ++row) {
            auto* item = new QListWidgetItem(
                QString::fromStdString(m_controller->pickerViewTitleForRowForComponent(row, c)), column);
            item->setTextAlignment(Qt::AlignCenter);
        }
        column->setCurrentRow(m_controller->selectedRowInComponent(c));
    }
}

void HistoryPage::reloadData()
{
    m_model->reload();
}

void HistoryPage::addNoDataLabel(const std::string& text)
{
    if (!m_noDataLabel) {
        m_noDataLabel = new QLabel(m_pickerArea);
        m_noDataLabel->setObjectName("noDataLabel");
        m_noDataLabel->setAlignment(Qt::AlignCenter);
        QFont font = m_noDataLabel->font();
        font.setPointSize(24);
        m_noDataLabel->setFont(font);
    }
    m_noDataLabel->setText(QString::fromStdString(text));
    placeNoDataParts();
    m_noDataLabel->show();
    m_noDataLabel->raise();
}

void HistoryPage::placeNoDataParts()
{
    const QPoint corner = m_picker->geometry().topLeft();
    if (m_noDataLabel)
        m_noDataLabel->setGeometry(corner.x(), corner.y() + noDataLabelDrop, noDataLabelWidth,
                                   m_noDataLabel->sizeHint().height());
    m_continueButton->adjustSize();
    m_continueButton->move(corner.x() + (noDataLabelWidth - m_continueButton->width()) / 2,
                           corner.y() + continueButtonDrop);
}

void HistoryPage::addColumnCaptions(const std::vector<std::string>& captions)
{
    for (std::size_t c = 0; c < m_captions.size() && c < captions.size(); ++c) {
        m_captions[c]->setText(QString::fromStdString(captions[c]));
        m_captions[c]->show();
    }
}

std::string HistoryPage::monthNameString(int month) const
{
    return QLocale().standaloneMonthName(month, QLocale::LongFormat).toStdString();
}

} // namespace velorin
