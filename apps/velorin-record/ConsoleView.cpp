#include "ConsoleView.h"

#include "platform/Clock.h"
#include "platform/EscapedText.h"
#include "platform/Log.h"

#include <cerrno>
#include <cstring>

namespace velorin {

ConsoleView::ConsoleView(std::FILE* out, const Clock& clock, Nanoseconds start, bool lineBuffered, Log& log)
    : m_out(out), m_clock(clock), m_start(start), m_lineBuffered(lineBuffered), m_log(log)
{
}

void ConsoleView::print(std::string_view kind, std::string_view text)
{
    if (m_failed)
        return;
    const std::string shown = escapeControl(text);
    errno = 0;
    // Counted on the monotonic clock in whole nanoseconds: the same for every start date.
    const Nanoseconds since = m_clock.monotonic() - m_start;
    std::fprintf(m_out, "%lld.%03lld %.*s %s\n", static_cast<long long>(since.count() / 1'000'000'000),
                 static_cast<long long>(since.count() / 1'000'000 % 1000), static_cast<int>(kind.size()), kind.data(),
                 shown.c_str());
    if (m_lineBuffered)
        std::fflush(m_out);
    checkOutput();
}

void ConsoleView::finish()
{
    if (m_failed)
        return;
    errno = 0;
    std::fflush(m_out);
    checkOutput();
}

void ConsoleView::checkOutput()
{
    if (!std::ferror(m_out))
        return;
    m_failed = true;
    const int error = errno;
    m_log.line(std::string("Standard output cannot be written (") + (error != 0 ? std::strerror(error) : "write error") +
               "): the console view stops writing");
}

void ConsoleView::setShown(Outlet outlet, bool shown)
{
    if (outlet == Outlet::noSignal)
        print("trace", shown ? "No signal" : "live");
}

void ConsoleView::setText(Outlet outlet, const std::string& text)
{
    if (outlet == Outlet::bpmLabel)
        print("bpm", text);
    else if (outlet == Outlet::batteryLevels)
        print("battery", text);
    else if (outlet == Outlet::uploadStatus)
        print("upload", text);
}

void ConsoleView::setImage(Outlet outlet, const std::string& imageName)
{
    if (outlet != Outlet::sensorImage)
        return;
    print("sensor", imageName);
    if (imageName == "Ok" && m_sensorOk)
        m_sensorOk();
}

void ConsoleView::makeToast(const std::string& message)
{
    print("notice", message);
}

void ConsoleView::show(const AlertRequest& request, Answer answer)
{
    print("alert", request.title + " | " + request.message);
    if (request.textField && request.message == "Write pin for nimbo!")
        for (const std::string& label : request.otherButtons)
            print("sensor-list", label);
    m_open = true;
    m_openAlert = request;
    m_answer = std::move(answer);
}

bool ConsoleView::press(int buttonIndex, const std::string& fieldText)
{
    if (!m_open || buttonIndex < 0 || static_cast<std::size_t>(buttonIndex) > m_openAlert.otherButtons.size())
        return false;
    // Closed before the answer runs: the answer may open the next alert.
    m_open = false;
    Answer answer = std::move(m_answer);
    m_answer = nullptr;
    if (answer)
        answer(buttonIndex, m_openAlert.textField ? fieldText : std::string());
    return true;
}

} // namespace velorin
