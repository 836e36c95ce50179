#include "settings/qt/ProfilePage.h"

#include "settings/qt/PageFrame.h"
#include "settings/qt/PositionButtonRow.h"
#include "settings/qt/SegmentedControl.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

namespace velorin {

ProfilePage::ProfilePage(const SettingsContext& context, std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent), m_dismiss(std::move(dismiss))
{
    const PageFrame frame = PageFrame::make(this, tr("Profile"));
    const std::array<std::pair<QString, const char*>, 3> fields{
        {{tr("Name"), "name"}, {tr("Age"), "Age"}, {tr("Weight"), "Weight"}}};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(fields[i].second));
        connect(edit, &QLineEdit::returnPressed, this, [this] { m_controller->textFieldShouldReturn(); });
        frame.form->addRow(fields[i].first, edit);
        m_fields[i] = edit;
    }
    field(ProfileField::name)->setPlaceholderText(tr("Your name"));
    field(ProfileField::Age)->setPlaceholderText(tr("Years"));
    field(ProfileField::Weight)->setPlaceholderText(tr("Kilograms"));
    m_gender = new SegmentedControl({tr("Male"), tr("Female")}, this);
    m_gender->setObjectName("Gender");
    frame.form->addRow(tr("Gender"), m_gender);
    m_positions = new PositionButtonRow(this);
    frame.form->addRow(tr("Sensor position"), m_positions);

    auto* back = PageFrame::button(this, tr("Back to login"), "backToLogin");
    auto* cancel = PageFrame::button(this, tr("Cancel"), "cancel");
    auto* save = PageFrame::button(this, tr("Save"), "save");
    save->setDefault(true);
    frame.buttons->addWidget(back);
    frame.buttons->addStretch();
    frame.buttons->addWidget(cancel);
    frame.buttons->addWidget(save);

    m_controller = std::make_unique<SettingsController>(context, *this, *m_positions);
    connect(save, &QPushButton::clicked, this, [this] { m_controller->updateInformation(); });
    connect(cancel, &QPushButton::clicked, this, [this] { m_controller->cancel(); });
    connect(back, &QPushButton::clicked, this, [this] { m_controller->backToLogin(); });
    connect(m_positions, &PositionButtonRow::positionPressed, this,
            [this](int index) { m_controller->changeSensorPos(index); });
    m_controller->viewDidLoad();
}

ProfilePage::~ProfilePage() = default;

std::string ProfilePage::text(ProfileField f) const
{
    return field(f)->text().toStdString();
}

void ProfilePage::setText(ProfileField f, const std::string& text)
{
    field(f)->setText(QString::fromStdString(text));
    // Long texts show their beginning, not their end.
    field(f)->setCursorPosition(0);
}

int ProfilePage::gender() const
{
    return m_gender->selected();
}

void ProfilePage::setGender(int segment)
{
    m_gender->setSelected(segment);
}

void ProfilePage::endEditing()
{
    PageFrame::endEditing(this);
}

void ProfilePage::dismiss()
{
    if (m_dismiss)
        m_dismiss();
}

} // namespace velorin
