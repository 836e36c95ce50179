#include "settings/qt/SettingsMenuPage.h"

#include "settings/qt/PageFrame.h"
#include "settings/qt/PositionButtonRow.h"
#include "settings/qt/ProfilePage.h"
#include "settings/qt/SetupPage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace velorin {

SettingsMenuPage::SettingsMenuPage(const SettingsContext& context, std::function<void(QWidget*)> pushPage,
                                   std::function<void()> popPage, QWidget* parent)
    : QWidget(parent), m_ctx(context), m_push(std::move(pushPage)), m_pop(std::move(popPage))
{
    const PageFrame frame = PageFrame::make(this, tr("Settings"));
    const auto row = [&](const QString& title, const char* name, const QString& meaning) {
        auto* button = PageFrame::button(this, title, name);
        button->setMinimumWidth(150);
        auto* label = new QLabel(meaning, this);
        label->setWordWrap(true);
        frame.form->addRow(button, label);
        return button;
    };
    auto* profile = row(tr("Profile"), "profile", tr("Name, age, weight and gender for the reports"));
    auto* setup = row(tr("Setup"), "setup", tr("Monitor passcode, report length and report logo"));
    auto* lock = row(tr("Lock monitor"), "passwordSet", tr("Hides the live trace until it is unlocked"));
    auto* about = row(tr("About"), "aboutUs", tr("Version, makers and credits"));
    auto* back = row(tr("Back to login"), "backToLogin", tr("Log in again or with another account"));
    m_positions = new PositionButtonRow(this);
    auto* positionLabel = new QLabel(tr("Sensor position"), this);
    positionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    frame.form->addRow(positionLabel, m_positions);

    auto* exit = PageFrame::button(this, tr("Exit"), "exit");
    auto* cancel = PageFrame::button(this, tr("Cancel"), "cancel");
    frame.buttons->addWidget(exit);
    frame.buttons->addStretch();
    frame.buttons->addWidget(cancel);

    m_controller = std::make_unique<SettingsMenuController>(m_ctx, *m_positions);
    connect(profile, &QPushButton::clicked, this, [this] { open(new ProfilePage(m_ctx, m_pop)); });
    connect(setup, &QPushButton::clicked, this, [this] { open(new SetupPage(m_ctx, m_pop)); });
    connect(lock, &QPushButton::clicked, this, [this] { m_controller->passwordSet(); });
    connect(about, &QPushButton::clicked, this, [this] { m_controller->aboutUs(); });
    connect(back, &QPushButton::clicked, this, [this] { m_controller->backToLogin(); });
    connect(exit, &QPushButton::clicked, this, [this] { m_controller->exit(); });
    connect(cancel, &QPushButton::clicked, this, [this] { m_controller->cancel(); });
    connect(m_positions, &PositionButtonRow::positionPressed, this,
            [this](int index) { m_controller->changeSensorPos(index); });
}

SettingsMenuPage::~SettingsMenuPage() = default;

void SettingsMenuPage::open(QWidget* page)
{
    if (m_push)
        m_push(page);
    else
        delete page;
}

} // namespace velorin
