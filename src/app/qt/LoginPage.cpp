#include "app/qt/LoginPage.h"

#include "app/qt/ProgressOverlay.h"
#include "net/LoginViewController.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QVBoxLayout>

namespace velorin {

namespace {

constexpr int formWidth = 360;
constexpr qreal basePoints = 18;
constexpr qreal fieldMinimumPoints = 14;
constexpr qreal labelMinimumPoints = 8;
constexpr qreal step = 0.5;
// QLineEdit's own margin on either side of its text.
constexpr int lineEditTextMargin = 2;

qreal fittingPoints(QFont font, const QString& text, qreal width, qreal minimum)
{
    for (qreal points = basePoints; points > minimum; points -= step) {
        font.setPointSizeF(points);
        if (QFontMetricsF(font).horizontalAdvance(text) <= width)
            return points;
    }
    return minimum;
}

void fit(QWidget* widget, const QString& text, qreal width, qreal minimum)
{
    QFont font = widget->font();
    const qreal points = fittingPoints(font, text, width, minimum);
    if (font.pointSizeF() != points) {
        font.setPointSizeF(points);
        widget->setFont(font);
    }
}

qreal textWidth(const QLineEdit* field)
{
    QStyleOptionFrame option;
    option.initFrom(field);
    option.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, field) : 0;
    const QRect contents = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field);
    const QMargins margins = field->textMargins();
    return contents.width() - margins.left() - margins.right() - 2 * lineEditTextMargin;
}

QFont baseFont(const QWidget* widget)
{
    QFont font = widget->font();
    font.setPointSizeF(basePoints);
    return font;
}

} // namespace

LoginPage::LoginPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("loginPage"));
    m_form = new QWidget(this);
    m_form->setMaximumWidth(formWidth);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(m_form, 4);
    row->addStretch(1);
    auto* page = new QVBoxLayout(this);
    page->addStretch(1);
    page->addLayout(row);
    page->addStretch(2);

    auto* form = new QVBoxLayout(m_form);
    auto label = [this, form](const char* name, const QString& text) {
        auto* l = new QLabel(text, m_form);
        l->setObjectName(QLatin1String(name));
        l->setFont(baseFont(l));
        form->addWidget(l);
        return l;
    };
    auto field = [this, form](const char* name) {
        auto* f = new QLineEdit(m_form);
        f->setObjectName(QLatin1String(name));
        f->setFont(baseFont(f));
        // Sized for the full font, so that the form does not move while a long text shrinks it.
        f->setFixedHeight(f->sizeHint().height());
        connect(f, &QLineEdit::returnPressed, this, [this] { call(&LoginViewController::textFieldShouldReturn); });
        connect(f, &QLineEdit::textChanged, this, [this] { fitFonts(); });
        form->addWidget(f);
        return f;
    };
    m_userLbl = label("userLbl", tr("Username"));
    m_username = field("username");
    form->addSpacing(8);
    m_passLbl = label("passLbl", tr("Password"));
    m_password = field("password");
    m_password->setEchoMode(QLineEdit::Password);
    form->addSpacing(18);

    m_loginBtn = new QPushButton(tr("Login"), m_form);
    m_loginBtn->setObjectName(QStringLiteral("loginBtn"));
    m_loginBtn->setFont(baseFont(m_loginBtn));
    m_loginBtn->setStyleSheet(QStringLiteral("QPushButton#loginBtn { border: 2px solid gray; border-radius: 5px; "
                                             "padding: 6px 18px; }"
                                             "QPushButton#loginBtn:pressed { background: palette(midlight); }"));
    connect(m_loginBtn, &QPushButton::clicked, this, [this] { call(&LoginViewController::loginClicked); });
    form->addWidget(m_loginBtn);
    form->addSpacing(8);
    auto* noAccount = new QPushButton(tr("Continue without an account"), m_form);
    noAccount->setObjectName(QStringLiteral("dontHaveAccount"));
    noAccount->setFlat(true);
    connect(noAccount, &QPushButton::clicked, this, [this] { call(&LoginViewController::dontHaveAccount); });
    form->addWidget(noAccount);

    m_progress = new ProgressOverlay(tr("Logging in…"), this);
}

LoginPage::~LoginPage() = default;

void LoginPage::setController(std::unique_ptr<LoginViewController> controller)
{
    m_controller = std::move(controller);
}

void LoginPage::call(void (LoginViewController::*action)())
{
    if (m_controller)
        (m_controller.get()->*action)();
}

std::string LoginPage::username() const
{
    return m_username->text().toStdString();
}

std::string LoginPage::password() const
{
    return m_password->text().toStdString();
}

void LoginPage::showProgress()
{
    // Also out of reach of the keyboard while the overlay covers them.
    m_form->setEnabled(false);
    m_progress->cover();
}

void LoginPage::hideProgress()
{
    m_progress->hide();
    m_form->setEnabled(true);
}

void LoginPage::endEditing()
{
    if (QWidget* focused = QApplication::focusWidget(); focused && isAncestorOf(focused))
        focused->clearFocus();
}

void LoginPage::closeLogin()
{
    emit closeRequested();
}

void LoginPage::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    call(&LoginViewController::backgroundClick);
}

void LoginPage::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    fitFonts();
}

void LoginPage::fitFonts()
{
    fit(m_userLbl, m_userLbl->text(), m_userLbl->contentsRect().width(), labelMinimumPoints);
    fit(m_passLbl, m_passLbl->text(), m_passLbl->contentsRect().width(), labelMinimumPoints);
    // The password field shrinks for its bullets, which are what it shows.
    fit(m_username, m_username->displayText(), textWidth(m_username), fieldMinimumPoints);
    fit(m_password, m_password->displayText(), textWidth(m_password), fieldMinimumPoints);
}

} // namespace velorin
