// The reports the technician hands over: the text report, the HTML page and its rows, and what
// the two save buttons do with the files and the boxes.
#include <gtest/gtest.h>

#include "../engine/station.h"
#include "reports/demo_loop.h"
#include "reports/html_report.h"
#include "reports/measures_log.h"
#include "reports/report_commands.h"
#include "reports/text_report.h"
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
            [this](const std::string&) -> std::optional<fs::path> {
              if (answers.empty()) return std::nullopt;
              const fs::path file = answers.front();
              answers.erase(answers.begin());
              return file;
            }};
  }

  screens::ReportWindow form;
  engine::BusState state;
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
      "<p>%%date%% %%heure%%</p>\r\n\r\n%%logo%%<i style=\"%%background%%\">\n%%societe%%|%%site%%"
      "|%%site%%\r%%adresse%%|%%commentaires%%|%%%date%%|%%Date%%\r\n<t>%%liste_produits%%</t>",
      form, state, images, rt.date(), rt.timeOfDay());
  EXPECT_EQ(page,
            "<p>12-06-2026 14:05:09</p>\r\n\r\n<LOGO><i style=\"FOND;\">\r\nNon Renseign\xE9|"
            "Site &lt;b&gt;&quot;A&quot;&lt;/b&gt;|Site &lt;b&gt;&quot;A&quot;&lt;/b&gt;\r\n"
            "1 rue A &amp; B</br>75001 Paris|%%date%% &lt;script&gt;|%12-06-2026|%%Date%%\r\n"
            "<t><tr align=\"center\"><td>1</td><td></td><td></td><td></td><td></td><td></td>"
            "<td></td></tr></t>\r\n");
}

TEST_F(Reports, RowsShowWhatTheAnalysisJudgedAndNothingElse) {
  engine::testing::Station st(engine::testing::exampleLoop("mixed"));
  ASSERT_TRUE(st.connectAndSearch());
  st.state.points[1].Adr_Produit = "A&B";
  // After a search alone, no detector shows a verdict or a temperature.
  EXPECT_NE(productRows(st.state, images).find("<td>1</td><td>A&amp;B</td><td>"),
            std::string::npos);
  EXPECT_EQ(productRows(st.state, images).find("Détecteur"), std::string::npos);

  ASSERT_TRUE(st.analyse());
  const std::string rows = productRows(st.state, images);
  for (const char* row : {
           "<td>2</td><td>ZUN</td><td>150300301</td><td>Optique</td><td></td><td>[2] 25</td>"
           "<td>Remplacement à prévoir</td></tr>",
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

TEST_F(Reports, WithNothingFoundThePageListsTheDemonstrationLoop) {
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
  EXPECT_EQ(dialogs.shown[0].text, report.string() + "existe déjà.\r\nVoulez-vous le remplacer ?");
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

}  // namespace
}  // namespace korvane::reports
