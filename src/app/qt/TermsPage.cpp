#include "app/qt/TermsPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace velorin {

namespace {

const char* const termsText = R"(<h2>Terms of use</h2>
<p>Velorin shows, records and sends the electrocardiogram of a chest-worn sensor. Please read these terms
before you use it; by pressing Accept you agree to them.</p>
<h3>1. A research and wellness tool</h3>
<p>Velorin is a research and wellness tool. It is <b>not a diagnostic device</b> and not a medical device.
It does not detect, diagnose, treat or prevent any disease or condition, and it gives no alarm.
Its trace, heart rate and reports may be incomplete or wrong.</p>
<h3>2. Not for emergencies</h3>
<p>Never use Velorin to decide whether you or anyone else needs medical care. If you feel unwell, have
chest pain, shortness of breath, fainting or palpitations, call your local emergency number or see a
doctor at once. Do not change any treatment because of what Velorin shows.</p>
<h3>3. Your recordings</h3>
<p>Recordings are kept in your documents folder on this computer. When you log in to a server, the
recordings and the events you mark are sent to that server together with the location of this
computer where it is known. You decide which server to use; its operator is responsible for what it
does with your data.</p>
<h3>4. No warranty</h3>
<p>Velorin is provided as it is, without any warranty. To the extent the law allows, its makers are not
liable for any loss or harm arising from its use or from relying on what it shows.</p>
<h3>5. Changes</h3>
<p>These terms may change with a later release, which will ask for your agreement again where needed.</p>
<p>Press Accept to agree and go on, or Decline to close Velorin.</p>)";

} // namespace

TermsPage::TermsPage(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    m_textView = new QTextBrowser(this);
    m_textView->setObjectName("termsText");
    m_textView->setHtml(QString::fromUtf8(termsText));
    layout->addWidget(m_textView, 1);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    auto* decline = new QPushButton(tr("Decline"), this);
    decline->setObjectName("decline");
    auto* accept = new QPushButton(tr("Accept"), this);
    accept->setObjectName("accept");
    accept->setDefault(true);
    buttons->addWidget(decline);
    buttons->addStretch();
    buttons->addWidget(accept);
    connect(accept, &QPushButton::clicked, this, &TermsPage::agreeClick);
    connect(decline, &QPushButton::clicked, this, &TermsPage::declineClick);
}

void TermsPage::showFromTop()
{
    m_textView->verticalScrollBar()->setValue(0);
}

} // namespace velorin
