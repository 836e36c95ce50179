#pragma once

#include <QPageLayout>

#include <functional>
#include <string>

namespace velorin {

class ViewerWebPage;

// How a report page becomes a PDF, the same on screen and headless.
namespace reportprinting {

// A4 portrait, 595 × 842 points, with 10-point margins: a printable area of 575 × 822 at (10, 10).
QPageLayout pageLayout();

// Runs the script and answers once it has run and the page's logo, if any, has loaded or failed:
// a logo still on its way would be missing from the PDF. The wait for the logo is bounded.
void evaluateAndSettle(ViewerWebPage& page, const std::string& script, std::function<void()> done);

// Prints every page the layout yields. done gets the bytes, or nothing when the engine made none;
// neither is called once the page has gone.
void print(ViewerWebPage& page, std::function<void(std::string bytes)> done);

} // namespace reportprinting
} // namespace velorin
