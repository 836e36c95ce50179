#pragma once

#include "ReportTool.h"

namespace velorin {

class Files;

// The PDF report of velorin-report: the report screen's page made on Qt WebEngine without a window,
// written atomically to the request's output.
int writePdfReport(Files& files, const PdfRequest& request, std::string& problem);

} // namespace velorin
