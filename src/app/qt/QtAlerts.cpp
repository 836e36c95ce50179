#include "app/qt/QtAlerts.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>
#include <optional>

namespace velorin {

QtAlerts::~QtAlerts()
{
    for (const Open& open : m_open)
        delete open.dialog.data();
}

void QtAlerts::show(const AlertRequest& request, Answer answer)
{
    auto* dialog = new QDialog(m_window);
    dialog->setWindowTitle(QString::fromStdString(request.title));
    dialog->setWindowModality(Qt::WindowModal);
    auto* layout = new QVBoxLayout(dialog);
    auto* title = new QLabel(QString::fromStdString(request.title), dialog);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    auto* message = new QLabel(QString::fromStdString(request.message), dialog);
    message->setWordWrap(true);
    layout->addWidget(message);
    QLineEdit* field = nullptr;
    if (request.textField) {
        field = new QLineEdit(dialog);
        if (request.secretField)
            field->setEchoMode(QLineEdit::Password);
        field->setObjectName("alertField");
        layout->addWidget(field);
    }
    // Every button answers once: the dialog is gone after the first. A dialog without an answer
    // (a plain message) still closes on its button.
    struct Pending {
        Answer answer;
        bool answered = false;
    };
    auto pending = std::make_shared<Pending>(Pending{std::move(answer)});
    auto finish = [dialog, field, pending](int index, const std::optional<std::string>& typed = std::nullopt) {
        if (pending->answered)
            return;
        pending->answered = true;
        const std::string text = typed ? *typed : field ? field->text().toStdString() : std::string();
        const Answer once = std::move(pending->answer);
        dialog->hide();
        dialog->deleteLater();
        if (once)
            once(index, text);
    };
    auto* buttons = new QVBoxLayout;
    std::vector<std::string> titles{request.cancelButton};
    titles.insert(titles.end(), request.otherButtons.begin(), request.otherButtons.end());
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (i == 0 && titles[i].empty())
            continue; // no cancel button; closing the dialog still answers 0
        auto* button = new QPushButton(QString::fromStdString(titles[i]), dialog);
        button->setObjectName(QStringLiteral("alertButton%1").arg(i));
        button->setAutoDefault(false);
        QObject::connect(button, &QPushButton::clicked, dialog, [finish, i] { finish(static_cast<int>(i)); });
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    QObject::connect(dialog, &QDialog::rejected, dialog, [finish] { finish(0); });
    std::erase_if(m_open, [](const Open& open) { return !open.dialog || !open.dialog->isVisible(); });
    m_open.push_back({dialog, [finish](int index, const std::string& typed) { finish(index, typed); },
                      static_cast<int>(titles.size()), request.message});
    dialog->open();
}

const QtAlerts::Open* QtAlerts::newest() const
{
    for (auto it = m_open.rbegin(); it != m_open.rend(); ++it)
        if (it->dialog && it->dialog->isVisible())
            return &*it;
    return nullptr;
}

bool QtAlerts::press(int buttonIndex, const std::string& fieldText)
{
    const Open* open = newest();
    if (!open || buttonIndex < 0 || buttonIndex >= open->buttons)
        return false;
    // A copy: the answer may open the next dialog and so change the list.
    const auto finish = open->finish;
    finish(buttonIndex, fieldText);
    return true;
}

std::string QtAlerts::openMessage() const
{
    const Open* open = newest();
    return open ? open->message : std::string();
}

} // namespace velorin
