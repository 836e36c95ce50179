#include "settings/qt/SetupPage.h"

#include "settings/qt/PageFrame.h"
#include "settings/qt/SegmentedControl.h"

#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QStandardPaths>

namespace velorin {

namespace {

constexpr QSize logoPreview{200, 64};

QString imageFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return QObject::tr("Images (%1)").arg(patterns.join(QLatin1Char(' ')));
}

} // namespace

SetupPage::SetupPage(const SettingsContext& context, std::function<void()> dismiss, QWidget* parent)
    : QWidget(parent), m_dismiss(std::move(dismiss))
{
    const PageFrame frame = PageFrame::make(this, tr("Setup"));
    m_lockPassword = new QLineEdit(this);
    m_lockPassword->setObjectName("lockPassword");
    m_lockPassword->setEchoMode(QLineEdit::Password);
    m_lockPassword->setPlaceholderText(tr("Locks the monitor's trace when saved"));
    frame.form->addRow(tr("Lock passcode"), m_lockPassword);

    // The report shows the first 10, 20 or 30 seconds of a recording chunk.
    m_pdfLength = new SegmentedControl({tr("10 s"), tr("20 s"), tr("30 s"), tr("Whole")}, this);
    m_pdfLength->setObjectName("pdfLength");
    frame.form->addRow(tr("Report length"), m_pdfLength);

    auto* logoRow = new QHBoxLayout;
    logoRow->setSpacing(12);
    m_logo = new QLabel(this);
    m_logo->setObjectName("logo");
    m_logo->setFixedSize(logoPreview + QSize(8, 8));
    m_logo->setAlignment(Qt::AlignCenter);
    m_logo->setFrameShape(QFrame::StyledPanel);
    auto* choose = PageFrame::button(this, tr("Choose logo…"), "addImage");
    logoRow->addWidget(m_logo);
    logoRow->addWidget(choose, 0, Qt::AlignVCenter);
    logoRow->addStretch();
    frame.form->addRow(tr("Report logo"), logoRow);

    auto* back = PageFrame::button(this, tr("Back to login"), "backToLogin");
    auto* cancel = PageFrame::button(this, tr("Cancel"), "cancel");
    auto* save = PageFrame::button(this, tr("Save"), "save");
    save->setDefault(true);
    frame.buttons->addWidget(back);
    frame.buttons->addStretch();
    frame.buttons->addWidget(cancel);
    frame.buttons->addWidget(save);

    m_controller = std::make_unique<SettingsSetupController>(context, *this);
    connect(m_lockPassword, &QLineEdit::returnPressed, this, [this] { m_controller->textFieldShouldReturn(); });
    connect(choose, &QPushButton::clicked, this, [this] { m_controller->addImage(); });
    connect(save, &QPushButton::clicked, this, [this] { m_controller->updateInformation(); });
    connect(cancel, &QPushButton::clicked, this, [this] { m_controller->cancel(); });
    connect(back, &QPushButton::clicked, this, [this] { m_controller->backToLogin(); });
    m_controller->viewDidLoad();
}

SetupPage::~SetupPage() = default;

std::string SetupPage::lockPassword() const
{
    return m_lockPassword->text().toStdString();
}

void SetupPage::setLockPassword(const std::string& text)
{
    m_lockPassword->setText(QString::fromStdString(text));
}

int SetupPage::pdfLength() const
{
    return m_pdfLength->selected();
}

void SetupPage::setPdfLength(int segment)
{
    m_pdfLength->setSelected(segment);
}

void SetupPage::showLogo(const std::string& path)
{
    m_logo->setPixmap({});
    m_logo->setText(tr("No logo"));
    if (path.empty())
        return;
    // The file is ours, but anything may have replaced it since: only a small preview is decoded.
    QImageReader reader(QFile::decodeName(QByteArray::fromStdString(path)));
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > SettingsSetupController::maxLogoSide ||
        size.height() > SettingsSetupController::maxLogoSide)
        return;
    reader.setScaledSize(size.scaled(logoPreview, Qt::KeepAspectRatio).expandedTo({1, 1}));
    if (const QImage preview = reader.read(); !preview.isNull())
        m_logo->setPixmap(QPixmap::fromImage(preview));
}

void SetupPage::chooseImage()
{
    const QPointer<SetupPage> alive(this);
    const QString picked = QFileDialog::getOpenFileName(
        this, tr("Choose logo"), QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), imageFilter());
    // The dialog runs its own event loop, in which the page may have been closed.
    if (alive && !picked.isEmpty())
        m_controller->imagePickerControllerDidFinishPickingMediaWithInfo(QFile::encodeName(picked).toStdString());
}

void SetupPage::endEditing()
{
    PageFrame::endEditing(this);
}

void SetupPage::dismiss()
{
    if (m_dismiss)
        m_dismiss();
}

} // namespace velorin
