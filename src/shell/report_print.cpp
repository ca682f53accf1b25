#include "shell/report_print.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QPainter>
#include <QPrintDialog>
#include <QRegularExpression>
#include <QTextDocument>

#include "shell/view.h"
#include "text/cp1252.h"

namespace korvane::shell {

namespace {

void setA4(QPrinter& printer) {
  printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                    QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
}

// The page as Qt's rich text reads it. The template is written for browsers, and Qt's reader of
// style sheets stops at the first rule it cannot parse (a page's margin boxes, a selector such as
// :nth-child(1)), losing every rule after it: those rules go. So do two that Qt lays out worse
// than without them: a cell that may not wrap squeezes its neighbours below their longest word,
// and an auto margin shifts and narrows every table inside. Qt reads no table width from CSS
// either: a table without a width attribute spans the page, as the report's tables do.
QString forRichText(QString html) {
  static const QRegularExpression styleSheet(
      QStringLiteral(R"(<style\b[^>]*>(.*?)</style>)"),
      QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
  static const QRegularExpression unread(
      QStringLiteral(R"(@page\b[^{]*\{(?:[^{}]|\{[^{}]*\})*\}|[^{}]*:nth-[^{}]*\{[^{}]*\})"));
  static const QRegularExpression worse(QStringLiteral(
      R"(white-space\s*:\s*nowrap\s*;?|margin(?:-left|-right)?\s*:[^;{}]*\bauto\b[^;{}]*;?)"));
  static const QRegularExpression table(QStringLiteral(R"(<table\b(?![^>]*\bwidth\s*=))"),
                                        QRegularExpression::CaseInsensitiveOption);
  QString page;
  qsizetype done = 0;
  for (auto it = styleSheet.globalMatch(html); it.hasNext();) {
    const QRegularExpressionMatch sheet = it.next();
    page += QStringView(html).sliced(done, sheet.capturedStart(1) - done);
    page += sheet.captured(1).remove(unread).remove(worse);
    done = sheet.capturedEnd(1);
  }
  page += QStringView(html).sliced(done);
  return page.replace(table, QStringLiteral("<table width=\"100%\""));
}

}  // namespace

bool printReport(QPrinter& printer, const std::string& pageCp1252) {
  setA4(printer);
  QPainter painter;
  if (!painter.begin(&printer)) return false;
  QTextDocument document;
  // The template's own rules for paper apply.
  document.setMetaInformation(QTextDocument::CssMedia, QStringLiteral("print"));
  document.setHtml(forRichText(QString::fromUtf8(text::cp1252ToUtf8(pageCp1252))));
  // Laid out in the printer's resolution, in pages the size of the area inside the margins.
  document.documentLayout()->setPaintDevice(&printer);
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  document.setPageSize(page.size());

  QFont small = document.defaultFont();
  small.setPointSizeF(8);
  const int pages = document.pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0 && !printer.newPage()) return false;
    painter.save();
    painter.translate(0, -i * page.height());
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, i * page.height(), page.width(), page.height());
    document.documentLayout()->draw(&painter, context);
    painter.restore();
    // In the bottom margin, as the template asks a browser to.
    painter.setFont(small);
    painter.setPen(QColor(0x7a, 0x80, 0x8c));
    painter.drawText(QRectF(0, page.height(), page.width(), printer.resolution() / 4.0),
                     Qt::AlignRight | Qt::AlignVCenter,
                     QStringLiteral("Page %1 / %2").arg(i + 1).arg(pages));
  }
  return painter.end();
}

std::unique_ptr<QPrinter> askPrinter(QWidget* parent) {
  auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
  setA4(*printer);
  QPrintDialog dialog(printer.get(), parent);
  if (dialog.exec() != QDialog::Accepted) return nullptr;
  return printer;
}

void printCustomerReport(const reports::ReportContext& c, const AskPrinter& ask) {
  auto fail = [&c](const std::string& error) {
    c.dialogs.messageBox(error, reports::kAppTitle, screens::Icon::kInformation);
  };
  std::string error;
  const std::optional<std::string> page = reports::customerPage(c, error);
  if (!page) return fail(error);
  const std::unique_ptr<QPrinter> printer = ask();
  if (!printer) return;
  if (printReport(*printer, *page)) return;
  const QString file = QDir::toNativeSeparators(printer->outputFileName());
  fail(file.isEmpty() ? "Impression impossible." : "Impression impossible : " + us(file));
}

}  // namespace korvane::shell
