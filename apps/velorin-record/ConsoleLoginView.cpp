#include "ConsoleLoginView.h"

#include "platform/EscapedText.h"

namespace velorin {

ConsoleLoginView::ConsoleLoginView(std::FILE* out, std::string username, std::string password)
    : m_out(out), m_username(std::move(username)), m_password(std::move(password))
{
}

void ConsoleLoginView::show(const AlertRequest& request, Answer)
{
    const std::string line = escapeControl("alert " + request.title + " | " + request.message);
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
}

} // namespace velorin
