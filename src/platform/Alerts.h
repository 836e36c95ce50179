#pragma once

#include <functional>
#include <string>
#include <vector>

namespace velorin {

struct AlertRequest {
    std::string title;
    std::string message;
    std::string cancelButton; // index 0
    std::vector<std::string> otherButtons; // indices 1, 2, ...
    bool textField = false; // one plain text field
    bool secretField = false; // its text is masked as it is typed (a passcode)
};

// Dialogs. show() is called on the main queue; the answer arrives there too, with the pressed
// button's index and the text field's text (empty without a field).
class Alerts {
public:
    using Answer = std::function<void(int buttonIndex, const std::string& fieldText)>;
    virtual ~Alerts() = default;
    virtual void show(const AlertRequest& request, Answer answer) = 0;
};

// Dialogs that a script can answer: the newest open one, as if its button had been pressed.
class ScriptableAlerts : public Alerts {
public:
    // False when no dialog is open or it has no such button.
    virtual bool press(int buttonIndex, const std::string& fieldText) = 0;
    // The open dialog's message; empty when none is open.
    virtual std::string openMessage() const = 0;
};

} // namespace velorin
