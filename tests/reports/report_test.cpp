// The reports the technician hands over: the text report, the HTML page and its rows, the
// spreadsheet table, and what the save buttons do with the files and the boxes.
#include <gtest/gtest.h>

#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "../engine/station.h"
#include "reports/csv_report.h"
#include "reports/demo_loop.h"
#include "reports/follow_up.h"
#include "reports/html_report.h"
#include "reports/measures_log.h"
#include "reports/report_commands.h"
#include "reports/text_report.h"
#include "support/ordinary_user.h"
#include "support/temp_dir.h"

namespace korvane::reports {
namespace {

namespace fs = std::filesystem;

ReportImages fakeImages() {
  ReportImages images{"<LOGO>", "FOND;", {}};
  for (int i = 0; i < kBarPictures; ++i)
    images.bars[static_cast<std::size_t>(i)] = "[" + std::to_string(i) + "]";
  return images;
}

class Reports : public testing::TempDirTest {
 protected:
  Reports() { form.List1.lines = {}; }

  ReportContext context() {
    return {form,
            state,
            images,
            dir_ / "para3.fin",
            rt,
            dialogs,
            [this](const FileKind&) -> std::optional<fs::path> {
              if (answers.empty()) return std::nullopt;
              const fs::path file = answers.front();
              answers.erase(answers.begin());
              return file;
            },
            followUps};
  }

  screens::ReportWindow form;
  engine::BusState state;
  FollowUps followUps;
  ReportImages images = fakeImages();
  runtime::VirtualRuntime rt{{14, 5, 9}, {2026, 12, 6}};
  screens::RecordingDialogs dialogs;
  std::vector<fs::path> answers;  // the file dialog's answers, then cancels
};

TEST_F(Reports, TheTextReportIsWindows1252WithCrLf) {
  form.Text3 = "Usine";
  const std::string head =
      "\r\n\r\n------------------------------------\r\n12-06-2026 / 14:05:09\r\n";
  EXPECT_EQ(textReport(form, rt.date(), rt.timeOfDay()),
            head +
                "Soci\xE9t\xE9 de Maintenance : \r\nSite : Usine\r\nAdresse : \r\n"
                "Commentaires\r\n\r\n------------------------------------\r\nNb de points : 0\r\n");

  form = {};
  form.Text2 = "Sécurité & Fils";
  form.Text4 = "12 rue des Lilas\n69003 Lyon";  // as a text box gives it
  form.Text1 = "Contrôle annuel";
  form.List1.lines = {"Détecteur 1 : OK", "Détecteur 2"};
  EXPECT_EQ(textReport(form, rt.date(), rt.timeOfDay()),
            head +
                "Soci\xE9t\xE9 de Maintenance : S\xE9"
                "curit\xE9 & Fils\r\nSite : \r\n"
                "Adresse : 12 rue des Lilas\r\n69003 Lyon\r\nCommentaires\r\n"
                "Contr\xF4le annuel\r\n------------------------------------\r\n\r\n"
                "D\xE9tecteur 1 : OK\r\nD\xE9tecteur 2\r\n\r\n"
                "------------------------------------\r\nNb de points : 2\r\n");
}

TEST_F(Reports, ThePageFillsEveryPlaceholderOfTheTemplateOnly) {
  form.Text3 = "Site <b>\"A\"</b>";
  form.Text4 = "1 rue A & B\r\n75001 Paris";
  form.Text1 = "%%date%% <script>";
  state.Nb_Trouve = 1;
  const std::string page = htmlReport(
      "<p>%%date%% %%heure%% %%date_longue%%%%demonstration%%</p>\r\n\r\n%%logo%%<i "
      "style=\"%%background%%\">\n%%societe%%|%%site%%"
      "|%%site%%\r%%adresse%%|%%commentaires%%|%%%date%%|%%Date%%\r\n<t>%%liste_produits%%</t>",
      form, state, images, rt.date(), rt.timeOfDay());
  EXPECT_EQ(page,
            "<p>12-06-2026 14:05:09 6 d\xE9"
            "cembre 2026</p>\r\n\r\n<LOGO><i style=\"FOND;\">\r\nNon Renseign\xE9|"
            "Site &lt;b&gt;&quot;A&quot;&lt;/b&gt;|Site &lt;b&gt;&quot;A&quot;&lt;/b&gt;\r\n"
            "1 rue A &amp; B</br>75001 Paris|%%date%% &lt;script&gt;|%12-06-2026|%%Date%%\r\n"
            "<t><tr align=\"center\"><td>1</td><td></td><td></td><td></td><td></td><td></td>"
            "<td></td></tr></t>\r\n");
}

TEST_F(Reports, RowsShowWhatTheAnalysisJudgedAndNothingElse) {
  sim::Loop loop = engine::testing::exampleLoop("mixed");
  // Initial 20, alarm 220: a mean of 61 is 20.5 %, of 161 70.5 %. Their whole numbers (20 and
  // 70, halves to even) would read as the verdict below each.
  for (auto [point, mean] : {std::pair{0, 61}, {1, 161}}) {
    loop.points[point].initial = 20;
    loop.points[point].alarm = 220;
    loop.points[point].chamber = {static_cast<std::uint8_t>(mean)};
  }
  engine::testing::Station st(std::move(loop));
  ASSERT_TRUE(st.connectAndSearch());
  st.state.points[1].Adr_Produit = "A&B";
  // After a search alone, no detector shows a verdict or a temperature.
  EXPECT_NE(productRows(st.state, images).find("<td>1</td><td>A&amp;B</td><td>"),
            std::string::npos);
  EXPECT_EQ(productRows(st.state, images).find("Détecteur"), std::string::npos);

  ASSERT_TRUE(st.analyse());
  const std::string rows = productRows(st.state, images);
  for (const char* row : {
           "<td></td><td>[2] 20,5</td><td>Remplacement à prévoir</td></tr>"
           "<tr align=\"center\"><td>2</td>",
           "<td>2</td><td>ZUN</td><td>150300301</td><td>Optique</td><td></td><td>[7] 70,5</td>"
           "<td>Détecteur à remplacer</td></tr>",
           "<td>4</td><td>GLIR</td><td>160100012</td><td>Thermovélo</td><td>23</td><td></td>"
           "<td></td></tr>",
           "<td>6</td><td>KEV312A</td><td>210700006</td><td>Optique  Thermovélo</td><td>22</td>"
           "<td>[0] 2</td><td>Détecteur OK</td></tr>",
           "<td>10</td><td>KEV312A</td><td>210700010</td><td>Optique  Statique</td><td>21</td>"
           "<td>[10] 100</td><td>Détecteur à remplacer</td></tr>",
           "<td>31</td><td></td><td>210700020</td><td></td><td></td><td></td><td></td></tr>",
       }) {
    EXPECT_NE(rows.find(row), std::string::npos) << row << "\n" << rows;
  }
}

// The percentage never reads as another verdict than the one judged on the exact value.
TEST(PercentText, TheDecimalsItTakesToKeepTheVerdict) {
  struct Case {
    double exact;
    std::int16_t whole;
    int decimals;
    const char* text;
  };
  for (const Case& c : {Case{20.0, 20, 0, "20"},
                        {20.5, 20, 0, "20,5"},
                        {20.4, 20, 0, "20,4"},
                        {70.04, 70, 0, "70,04"},
                        {70.04, 70, 1, "70,04"},
                        {25.0, 25, 1, "25,0"},
                        {19.96, 20, 1, "20,0"},
                        {100, 100, 1, "100,0"},
                        {7, 40, 1, "40"}}) {
    engine::Point p;
    p.Adr_Taux_Exact = c.exact;
    p.Adr_Taux = c.whole;
    EXPECT_EQ(percentText(p, c.decimals), c.text) << c.exact << " " << c.decimals;
  }
}

// The date a detector's trend reaches 70 %, from its visits.
TEST(FollowUp, TheDateDueFromTheLineThroughTheVisits) {
  auto visit = [](runtime::Date date, double percent) {
    return PastVisit{0, date, {10, 0, 0}, percent, "", std::nullopt};
  };
  struct Case {
    std::vector<PastVisit> visits;
    const char* text;
  };
  const Case cases[] = {
      {{}, "Historique insuffisant"},
      {{visit({2026, 1, 1}, 20)}, "Historique insuffisant"},
      {{visit({2026, 1, 1}, 20), visit({2026, 1, 30}, 40)}, "Historique insuffisant"},  // 29 days
      {{visit({2026, 1, 1}, 20), visit({2026, 1, 31}, 40)}, "17/03/2026"},
      // 20, then 45 a year later: 70 a year after that, in any order.
      {{visit({2026, 1, 1}, 45), visit({2025, 1, 1}, 20)}, "01/01/2027"},
      // Three visits off a line: the line nearest them rises 10 % a year from 20.7 % at the
      // middle one.
      {{visit({2025, 1, 1}, 12), visit({2026, 1, 1}, 18), visit({2027, 1, 1}, 32)}, "07/12/2030"},
      {{visit({2025, 1, 1}, 30), visit({2026, 1, 1}, 30)}, "Pas de dérive mesurable"},
      {{visit({2025, 1, 1}, 40), visit({2026, 1, 1}, 35)}, "Pas de dérive mesurable"},
      // A rise of 0.5 % a year would take 100 years: noise, not drift.
      {{visit({2025, 1, 1}, 20), visit({2026, 1, 1}, 20.5)}, "Pas de dérive mesurable"},
      // Already past: the date the line crossed 70.
      {{visit({2025, 1, 1}, 60), visit({2026, 1, 1}, 80)}, "02/07/2025"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(dueText(dueDate(c.visits)), c.text) << c.visits.size();

  // The previous visit is the latest not made by the run the table shows; the window lists the
  // newest first and draws the line to the date due.
  std::vector<PastVisit> visits{visit({2025, 1, 1}, 20), visit({2026, 1, 1}, 45)};
  visits[0].run = 4;
  visits[1].run = 9;
  EXPECT_EQ(followUp(visits, 9).previous->run, 4);
  EXPECT_EQ(followUp(visits, 0).previous->run, 9);
  screens::HistoryPanel panel;
  showHistory(panel, "150300300", visits);
  ASSERT_EQ(panel.rows.size(), 2u);
  EXPECT_EQ(panel.rows[0].date, "01/01/2026");
  EXPECT_EQ(panel.rows[0].percent, "45");
  EXPECT_EQ(panel.due, "Prochaine échéance : 01/01/2027");
  EXPECT_EQ(panel.lastDate, "01/01/2027");
  ASSERT_EQ(panel.trend.size(), 2u);
  EXPECT_NEAR(panel.trend[1].second, 70, 0.1);
}

TEST_F(Reports, WithNothingFoundThePageListsTheDemonstrationLoopAndSaysSo) {
  // The title and the line above the table say it, in this report and the next one, which
  // lists the same loop; a company's own template without the placeholder gets a first row.
  const std::string says = "<title>%%demonstration%% R</title>%%liste_produits%%\r\n";
  const std::string demo = "D\xE9monstration";
  for (int report = 0; report < 2; ++report) {
    const std::string page = htmlReport(says, form, state, images, rt.date(), rt.timeOfDay());
    EXPECT_TRUE(page.starts_with("<title>" + demo + " R</title><tr align")) << page.substr(0, 80);
  }
  EXPECT_TRUE(
      htmlReport("<t>%%liste_produits%%</t>\r\n", form, state, images, rt.date(), rt.timeOfDay())
          .starts_with("<t><tr><td colspan=\"7\">" + demo + " : aucun point"));
  EXPECT_TRUE(htmlReport("<t>%%liste_produits_suivi%%</t>\r\n", form, state, images, rt.date(),
                         rt.timeOfDay())
                  .starts_with("<t><tr><td colspan=\"9\">" + demo + " : aucun point"));
  state.points[5].Adr_Serie = "210700005";  // no longer the demonstration loop
  EXPECT_EQ(htmlReport(says, form, state, images, rt.date(), rt.timeOfDay()).find(demo),
            std::string::npos);

  state = {};
  const std::string rows = productRows(state, images);
  EXPECT_EQ(state.Nb_Trouve, 128);
  for (const char* row :
       {"<tr align=\"center\"><td>1</td><td>DEMO</td><td>XXXXXXXXX</td><td></td><td></td>"
        "<td>[0] 1</td><td>Détecteur OK</td></tr><tr",
        "<td>20</td><td>DEMO</td><td>XXXXXXXXX</td><td></td><td></td><td>[2] 20</td><td>Détecteur "
        "OK",
        "<td>21</td><td>DEMO</td><td>XXXXXXXXX</td><td></td><td></td><td>[2] "
        "21</td><td>Remplacement",
        "<td>69</td><td>DEMO</td><td>XXXXXXXXX</td><td></td><td></td><td>[6] "
        "69</td><td>Remplacement",
        "<td>70</td><td>DEMO</td><td>XXXXXXXXX</td><td></td><td></td><td>[7] 70</td><td>Détecteur "
        "à",
        "<td>128</td><td>DEMO</td><td>XXXXXXXXX</td><td></td><td></td><td>[10] "
        "128</td><td>Détecteur "
        "à remplacer</td></tr>"}) {
    EXPECT_NE(rows.find(row), std::string::npos) << row;
  }
}

TEST_F(Reports, SavingNeverLeavesAReportHalfWrittenOrSilentlyLost) {
  const fs::path report = dir_ / "rapport.html";
  const fs::path other = dir_ / "autre.html";
  put(report, "old report");
  put(dir_ / "para3.fin", "%%site%%\r\n");

  // No to the question asks again; the cancel that follows says so and touches nothing.
  dialogs.answers = {false};
  answers = {report};
  saveHtmlReport(context());
  ASSERT_EQ(dialogs.shown.size(), 2u);
  EXPECT_EQ(dialogs.shown[0].title, "Confirmer l'enregistrement");
  EXPECT_EQ(dialogs.shown[0].text, report.string() + " existe déjà.\r\nVoulez-vous le remplacer ?");
  EXPECT_EQ(dialogs.shown[1].text, "Enregistrement annulé.");
  EXPECT_EQ(bytes(report), "old report");

  // Yes replaces it whole.
  answers = {report};
  saveHtmlReport(context());
  EXPECT_EQ(bytes(report), "Non Renseign\xE9\r\n");
  EXPECT_EQ(dialogs.shown.back().text, "Enregistrement terminé.");
  EXPECT_EQ(dialogs.shown.back().icon, screens::Icon::kNone);

  // No template, or a target that cannot be written: a message and the old file as it was.
  fs::remove(dir_ / "para3.fin");
  answers = {report};
  saveHtmlReport(context());
  EXPECT_EQ(dialogs.shown.back().text, "Fichier introuvable : " + (dir_ / "para3.fin").string());
  EXPECT_EQ(dialogs.shown.back().title, "PELVARO");
  put(dir_ / "para3.fin", "x\r\n");
  put(other, "read-only report");
  fs::permissions(other, fs::perms::owner_read);
  answers = {other};
  saveHtmlReport(context());
  EXPECT_EQ(dialogs.shown.back().text,
            "Impossible d'enregistrer le fichier " + other.string() + ".");
  answers = {other};
  saveTextReport(context());
  EXPECT_EQ(dialogs.shown.back().title, "Listing");
  EXPECT_EQ(bytes(other), "read-only report");
  EXPECT_EQ(bytes(report), "Non Renseign\xE9\r\n");
#ifndef _WIN32
  // A write cut short (a full disk; here a limit on file sizes): the old report stays whole.
  rlimit sizes{};
  getrlimit(RLIMIT_FSIZE, &sizes);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit tiny = sizes;
  tiny.rlim_cur = 2;
  setrlimit(RLIMIT_FSIZE, &tiny);
  answers = {report};
  dialogs.answers = {true};
  saveHtmlReport(context());
  setrlimit(RLIMIT_FSIZE, &sizes);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(dialogs.shown.back().text,
            "Impossible d'enregistrer le fichier " + report.string() + ".");
  EXPECT_EQ(bytes(report), "Non Renseign\xE9\r\n");
#endif

  // The text report's cancel says nothing. The measures log is saved the same way.
  const std::size_t shown = dialogs.shown.size();
  saveTextReport(context());
  EXPECT_EQ(dialogs.shown.size(), shown);
  std::string error;
  ASSERT_TRUE(saveMeasuresLog(dir_ / "log.txt", {"Détecteur : 1"}, error));
  EXPECT_EQ(
      bytes(dir_ / "log.txt"),
      "\r\nD\xE9tecteur : 1\r\n\r\n------------------------------------\r\nNb de points : 1\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 4);  // no temporary file left
}

// The table a French spreadsheet opens as it is: BOM, ';', decimal comma, quotes where needed.
TEST_F(Reports, TheCsvTableHoldsWhatTheRowsShowForAFrenchSpreadsheet) {
  const std::string header =
      "\xEF\xBB\xBF"
      "Adresse;Produit;N° de série;Catégorie;Température (°C);Encrassement (%);"
      "Verdict;Encrassement précédent (%);Échéance prévue\r\n";
  EXPECT_EQ(csvReport(state), header);  // nothing found: no demonstration loop

  // The first points of the mixed loop, judged: one at 20.5 %, a flame detector (neither
  // percentage nor temperature) given a name to quote and a category on two lines, a heat one.
  sim::Loop loop = engine::testing::exampleLoop("mixed");
  loop.points.resize(4);
  loop.points[0].initial = 20;
  loop.points[0].alarm = 220;
  loop.points[0].chamber = {61};
  engine::testing::Station st(std::move(loop));
  ASSERT_TRUE(st.connectAndSearch() && st.analyse());
  state = st.state;
  state.points[3].Adr_Produit = "RAYL \"2\";B";
  state.points[3].Adr_Categorie = "UV\r\nflamme";
  const std::string table = header +
                            "1;ZUN;150300300;Optique;;20,5;Remplacement à prévoir;;\r\n"
                            "2;ZUN;150300301;Optique;;25,0;Remplacement à prévoir;;\r\n"
                            "3;\"RAYL \"\"2\"\";B\";???;\"UV\r\nflamme\";;;;;\r\n"
                            "4;GLIR;160100012;Thermovélo;23;;;;\r\n";
  EXPECT_EQ(csvReport(state), table);

  // With a history: the previous visit and the date due, in the table and the page's follow-up
  // columns; a serial that could not be read has none.
  const PastVisit before{1, {2025, 12, 1}, {9, 0, 0}, 12.5, "Détecteur OK", std::nullopt};
  followUps = {{"150300300", {before, {Due::kOn, {2027, 6, 30}}}},
               {"150300301", {std::nullopt, {Due::kNoDrift, {}}}},
               {"???", {before, {}}}};
  const std::string followed = csvReport(state, followUps);
  for (const char* row :
       {"1;ZUN;150300300;Optique;;20,5;Remplacement à prévoir;12,5;30/06/2027\r\n",
        "2;ZUN;150300301;Optique;;25,0;Remplacement à prévoir;;Pas de dérive "
        "mesurable\r\n",
        "\"UV\r\nflamme\";;;;;\r\n4;GLIR;160100012;Thermovélo;23;;;;\r\n"})
    EXPECT_NE(followed.find(row), std::string::npos) << row;
  const std::string rows = productRows(state, images, &followUps);
  for (const char* row : {"Remplacement à prévoir</td><td>13 (01/12/2025)</td><td>30/06/2027</td>",
                          "<td></td><td>Pas de dérive mesurable</td></tr>",
                          "<td>???"
                          "</td><td>UV\r\nflamme</td><td></td><td></td><td></td><td></td>"
                          "<td></td></tr>"})
    EXPECT_NE(rows.find(row), std::string::npos) << row;
  EXPECT_EQ(productRows(state, images).find("2025"), std::string::npos);

  // Saved as the others are (the same file replace): a bare name gets ".csv".
  answers = {dir_ / "boucle"};
  saveCsvReport(context());
  EXPECT_EQ(bytes(dir_ / "boucle.csv"), followed);
  EXPECT_EQ(dialogs.shown.back().text, "Enregistrement terminé.");
}

// What the technician typed, as each report writes it: the page keeps every character (those
// Windows-1252 lacks as references), the text report keeps the letters without their accents.
TEST_F(Reports, EveryTypedCharacterReachesThePageAndTheTextAsFarAsItCan) {
  struct Case {
    const char* typed;
    const char* page;
    const char* text;
  };
  for (const Case& c : {
           Case{"Nguyễn & 東京", "Nguy&#x1EC5;n &amp; &#x6771;&#x4EAC;", "Nguyen & ??"},
           Case{"Łódź Œuvre",
                "&#x141;\xF3"
                "d&#x17A; \x8Cuvre",
                "L\xF3"
                "dz \x8Cuvre"},
           // An accent left as a mark of its own: the page draws it on its letter, the text
           // keeps the letter. (The report window composes what is typed before this.)
           Case{"Cafe\u0301", "Cafe&#x301;", "Cafe"},
           Case{"Ωmega 😀", "&#x3A9;mega &#x1F600;", "?mega ?"},
       }) {
    form.Text2 = c.typed;
    state.Nb_Trouve = 1;
    EXPECT_EQ(htmlReport("%%societe%%", form, state, images, rt.date(), rt.timeOfDay()),
              std::string(c.page) + "\r\n")
        << c.typed;
    const std::string text = textReport(form, rt.date(), rt.timeOfDay());
    EXPECT_NE(text.find(std::string("Maintenance : ") + c.text + "\r\n"), std::string::npos)
        << c.typed << "\n"
        << text;
  }
}

// Where each save puts the report: the dialog's extension on a bare name, the file a link
// names, in place in a folder the technician may not write, its permissions kept.
TEST_F(Reports, EachSaveWritesWhereTheTechnicianMeant) {
  put(dir_ / "para3.fin", "%%site%%\r\n");
  form.Text3 = "Usine";
  const fs::path locked = dir_ / "verrou";
  fs::create_directories(locked);
  put(locked / "site.html", "last year");
  put(dir_ / "secret.txt", "old");
  fs::permissions(dir_ / "secret.txt", fs::perms::owner_read | fs::perms::owner_write);
  std::error_code noLinks;
  fs::create_symlink("cible.html", dir_ / "lien.html", noLinks);
  put(dir_ / "ancien.html", "old");
  fs::create_symlink("ancien.html", dir_ / "lien-ancien.html", noLinks);

  struct Case {
    const char* what;
    fs::path chosen;
    bool html;
    fs::path written;
  };
  for (const Case& c : {
           Case{"bare name, text", dir_ / "rapport", false, dir_ / "rapport.txt"},
           Case{"bare name, page", dir_ / "rapport", true, dir_ / "rapport.html"},
           Case{"a link to a file not made yet", dir_ / "lien.html", true, dir_ / "cible.html"},
           Case{"a link to a report", dir_ / "lien-ancien.html", true, dir_ / "ancien.html"},
           Case{"a folder we may not write", locked / "site.html", true, locked / "site.html"},
           Case{"a file only its owner reads", dir_ / "secret.txt", false, dir_ / "secret.txt"},
       }) {
    if (c.chosen.filename().string().starts_with("lien") && noLinks) continue;  // no links here
    dialogs.answers = {true};
    answers = {c.chosen};
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    {
      testing::AsOrdinaryUser user;
      c.html ? saveHtmlReport(context()) : saveTextReport(context());
    }
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_NE(bytes(c.written).find("Usine"), std::string::npos) << c.what;
    if (c.html) {
      EXPECT_EQ(dialogs.shown.back().text, "Enregistrement terminé.") << c.what;
    }
  }
  if (!noLinks) {
    EXPECT_TRUE(fs::is_symlink(dir_ / "lien.html") && fs::is_symlink(dir_ / "lien-ancien.html"));
  }
#ifndef _WIN32  // Windows keeps only a read-only mark
  EXPECT_EQ(fs::status(dir_ / "secret.txt").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
#endif
  EXPECT_EQ(std::distance(fs::directory_iterator(locked), {}), 1);  // nothing left beside it
}

}  // namespace
}  // namespace korvane::reports
