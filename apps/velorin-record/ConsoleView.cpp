#include "ConsoleView.h"

#include "platform/Clock.h"

namespace velorin {

ConsoleView::ConsoleView(std::FILE* out, const Clock& clock, double start, bool lineBuffered)
    : m_out(out), m_clock(clock), m_start(start), m_lineBuffered(lineBuffered)
{
}

void ConsoleView::print(std::string_view kind, std::string_view text)
{
    std::fprintf(m_out, "%.3f %.*s %.*s\n", m_clock.now() - m_start, static_cast<int>(kind.size()), kind.data(),
                 static_cast<int>(text.size()), text.data());
    if (m_lineBuffered)
        std::fflush(m_out);
}

void ConsoleView::setText(Outlet outlet, const std::string& text)
{
    if (outlet == Outlet::bpmLabel)
        print("bpm", text);
    else if (outlet == Outlet::batteryLevels)
        print("battery", text);
}

void ConsoleView::setImage(Outlet outlet, const std::string& imageName)
{
    if (outlet == Outlet::sensorImage)
        print("sensor", imageName);
}

void ConsoleView::makeToast(const std::string& message)
{
    print("notice", message);
}

void ConsoleView::show(const AlertRequest& request, Answer)
{
    print("alert", request.title + " | " + request.message);
}

} // namespace velorin
