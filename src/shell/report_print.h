#pragma once
// "Imprimer": the customer's report on paper, or in a PDF file through the print dialog.
//
//   printReport      the page "Rapport HTML" writes (Windows-1252, pictures as data URIs), laid
//                    out by Qt's rich text on A4 portrait with 12 mm margins (what the
//                    template is made for, whatever the dialog chose), "Page n / N" in the
//                    bottom margin. False when the printer cannot be opened: no printer, or a
//                    PDF file that cannot be written.
//   askPrinter       the system's print dialog (it offers a PDF file everywhere), A4 and 12 mm
//                    margins already chosen; nothing when cancelled
//   printCustomerReport  the page made as "Rapport HTML" makes it, dated when the button was
//                    pressed, then the printer asked for, then printed. A missing template says
//                    so as the HTML save does, before any dialog; a cancel says nothing; a
//                    printer that fails gives "Impression impossible" (with the PDF file's
//                    name), in the same information box titled "PELVARO".
//
// Modal dialogs: the report window runs printCustomerReport between engine steps.
#include <QPrinter>
#include <functional>
#include <memory>
#include <string>

#include "reports/report_commands.h"

class QWidget;

namespace korvane::shell {

using AskPrinter = std::function<std::unique_ptr<QPrinter>()>;

bool printReport(QPrinter& printer, const std::string& pageCp1252);
std::unique_ptr<QPrinter> askPrinter(QWidget* parent);
void printCustomerReport(const reports::ReportContext& context, const AskPrinter& ask);

}  // namespace korvane::shell
