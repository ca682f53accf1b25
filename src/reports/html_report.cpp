#include "reports/html_report.h"

#include <array>
#include <cmath>
#include <memory>
#include <optional>

#include "reports/demo_loop.h"
#include "reports/report_file.h"
#include "text/cp1252.h"

namespace korvane::reports {

namespace {

enum class Placeholder {
  kDate,
  kLongDate,
  kTime,
  kLogo,
  kBackground,
  kCompany,
  kSite,
  kAddress,
  kComments,
  kProducts,
  kProductsFollowed,
  kDemonstration
};

constexpr std::string_view kDemonstrationMark = "%%demonstration%%";
constexpr std::string_view kProductsMark = "%%liste_produits%%";
constexpr std::string_view kProductsFollowedMark = "%%liste_produits_suivi%%";

constexpr std::array<std::pair<std::string_view, Placeholder>, 12> kPlaceholders{{
    {"%%date%%", Placeholder::kDate},
    {"%%date_longue%%", Placeholder::kLongDate},
    {"%%heure%%", Placeholder::kTime},
    {"%%logo%%", Placeholder::kLogo},
    {"%%background%%", Placeholder::kBackground},
    {"%%societe%%", Placeholder::kCompany},
    {"%%site%%", Placeholder::kSite},
    {"%%adresse%%", Placeholder::kAddress},
    {"%%commentaires%%", Placeholder::kComments},
    {kProductsMark, Placeholder::kProducts},
    {kProductsFollowedMark, Placeholder::kProductsFollowed},
    {kDemonstrationMark, Placeholder::kDemonstration},
}};

// Page text in the page's Windows-1252; what it has no byte for, as a character reference.
std::string pageBytes(std::string_view utf8) {
  return text::utf8ToCp1252(utf8, text::Unmappable::kHtmlReference);
}

// A typed text as page text.
std::string pageText(std::string_view utf8) {
  return pageBytes(escapeHtml(utf8));
}

// Over a template that cannot say so elsewhere, the demonstration rows open with a row that
// does.
std::string demonstrationRow(int columns) {
  return "<tr><td colspan=\"" + std::to_string(columns) +
         "\">Démonstration : aucun point n'a été trouvé sur la boucle, les lignes ci-dessous "
         "sont fictives.</td></tr>";
}

std::string orNotGiven(std::string_view typed) {
  return typed.empty() ? pageBytes("Non Renseigné") : pageText(typed);
}

// The typed lines, escaped, joined by the page's line breaks.
std::string pageLines(std::string_view typed) {
  const std::string escaped = pageText(crLf(typed));
  std::string out;
  std::size_t from = 0;
  for (std::size_t at; (at = escaped.find(kCrLf, from)) != std::string::npos; from = at + 2) {
    out.append(escaped, from, at - from);
    out += "</br>";
  }
  out.append(escaped, from);
  return out;
}

void cell(std::string& row, std::string_view content) {
  row += "<td>";
  row += content;
  row += "</td>";
}

// Fills one line's placeholders. Only the template is searched: inserted texts are final.
class LineFiller {
 public:
  LineFiller(std::string_view templateText, const screens::ReportWindow& form,
             engine::BusState& state, const ReportImages& images, const runtime::Date& date,
             const runtime::TimeOfDay& time, const FollowUps& followUps)
      : form_(form),
        state_(state),
        images_(images),
        date_(date),
        time_(time),
        followUps_(followUps),
        // Decided before the first line, so that the title can say it: with nothing found, the
        // rows will be the demonstration loop.
        demonstration_((state.Nb_Trouve == 0 || isDemonstrationLoop(state)) &&
                       (templateText.find(kProductsMark) != std::string_view::npos ||
                        templateText.find(kProductsFollowedMark) != std::string_view::npos)),
        saysDemonstration_(templateText.find(kDemonstrationMark) != std::string_view::npos) {}

  void fill(std::string_view line, std::string& out) {
    std::size_t done = 0;
    for (std::size_t at = line.find("%%"); at != std::string_view::npos; at = line.find("%%", at)) {
      const auto* match = find(line.substr(at));
      if (!match) {
        ++at;
        continue;
      }
      out.append(line.substr(done, at - done));
      out += value(match->second);
      at += match->first.size();
      done = at;
    }
    out.append(line.substr(done));
  }

 private:
  static const std::pair<std::string_view, Placeholder>* find(std::string_view rest) {
    for (const auto& placeholder : kPlaceholders)
      if (rest.starts_with(placeholder.first)) return &placeholder;
    return nullptr;
  }

  const std::string& value(Placeholder placeholder) {
    std::optional<std::string>& cached = cache_[static_cast<std::size_t>(placeholder)];
    if (!cached) cached = make(placeholder);
    return *cached;
  }

  std::string make(Placeholder placeholder) {
    switch (placeholder) {
      case Placeholder::kDate:
        return dateText(date_);
      case Placeholder::kLongDate:
        return pageBytes(longDateText(date_));
      case Placeholder::kTime:
        return timeText(time_);
      case Placeholder::kLogo:
        return images_.Html_Logo;
      case Placeholder::kBackground:
        return images_.Html_Fond;
      case Placeholder::kCompany:
        return orNotGiven(form_.Text2);
      case Placeholder::kSite:
        return orNotGiven(form_.Text3);
      case Placeholder::kAddress:
        return pageLines(form_.Text4);
      case Placeholder::kComments:
        return pageLines(form_.Text1);
      case Placeholder::kProducts:
      case Placeholder::kProductsFollowed: {
        const bool followed = placeholder == Placeholder::kProductsFollowed;
        const bool caption = demonstration_ && !saysDemonstration_;
        return pageBytes((caption ? demonstrationRow(followed ? 9 : 7) : std::string()) +
                         productRows(state_, images_, followed ? &followUps_ : nullptr));
      }
      case Placeholder::kDemonstration:
        return demonstration_ ? pageBytes("Démonstration") : std::string();
    }
    return {};
  }

  const screens::ReportWindow& form_;
  engine::BusState& state_;
  const ReportImages& images_;
  runtime::Date date_;
  runtime::TimeOfDay time_;
  const FollowUps& followUps_;
  bool demonstration_;
  bool saysDemonstration_;
  std::array<std::optional<std::string>, kPlaceholders.size()> cache_;
};

}  // namespace

std::string escapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string productRows(engine::BusState& state, const ReportImages& images,
                        const FollowUps* followUps) {
  if (state.Nb_Trouve == 0) {
    // A search under way owns the table, found nothing yet, and counts on from there: the page
    // lists the demonstration from a copy, and the search finds what it finds.
    if (state.Bus_Occupe) {
      auto demo = std::make_unique<engine::BusState>(state);
      demo->Bus_Occupe = false;
      return productRows(*demo, images, followUps);
    }
    simu_ligne(state);
  }
  std::string rows;
  for (int i = 1; i <= state.Nb_Trouve; ++i) {
    const engine::Point& p = state.points[i];
    rows += "<tr align=\"center\">";
    cell(rows, std::to_string(i));
    cell(rows, escapeHtml(p.Adr_Produit));
    cell(rows, escapeHtml(p.Adr_Serie));
    cell(rows, escapeHtml(p.Adr_Categorie));
    cell(rows, engine::hasTemperature(p) ? std::to_string(p.Adr_Temperature) : "");
    if (engine::hasVerdict(p)) {
      cell(rows, Image_Barre(images, p.Adr_Taux) + " " + percentText(p, 0));
      cell(rows, escapeHtml(p.Adr_Verdict));
    } else {
      rows += "<td></td><td></td>";
    }
    if (followUps) {
      if (const FollowUp* f = followUpOf(*followUps, p.Adr_Serie)) {
        cell(rows, f->previous ? visitPercent(f->previous->percent, 0) + " (" +
                                     shortDate(f->previous->date) + ")"
                               : "");
        cell(rows, dueCell(f->due));
      } else {
        rows += "<td></td><td></td>";
      }
    }
    rows += "</tr>";
  }
  return rows;
}

std::string htmlReport(std::string_view templateText, const screens::ReportWindow& form,
                       engine::BusState& state, const ReportImages& images,
                       const runtime::Date& date, const runtime::TimeOfDay& time,
                       const FollowUps& followUps) {
  LineFiller filler(templateText, form, state, images, date, time, followUps);
  std::string page;
  page.reserve(templateText.size() + images.Html_Logo.size() + images.Html_Fond.size() + 65536);
  // Lines end with CR LF in the company's template; a template saved with bare LF or CR line
  // ends reads the same.
  std::size_t from = 0;
  while (from < templateText.size()) {
    std::size_t end = templateText.find_first_of("\r\n", from);
    if (end == std::string_view::npos) end = templateText.size();
    filler.fill(templateText.substr(from, end - from), page);
    page += kCrLf;
    from = end;
    if (from < templateText.size() && templateText[from] == '\r') ++from;
    if (from < templateText.size() && templateText[from] == '\n') ++from;
  }
  return page;
}

}  // namespace korvane::reports
