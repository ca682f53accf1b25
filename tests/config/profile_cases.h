#pragma once
// Tricky profile files and what Windows' profile functions make of them. The tests on every
// platform hold Lire_Ini and Ecrire_Ini to these answers; the Windows build also puts each
// file to GetPrivateProfileStringA and WritePrivateProfileStringA and checks that they agree.
#include <string>
#include <utility>
#include <vector>

namespace korvane::testing {

using namespace std::string_literals;

struct ProfileRead {
  std::string file;  // "-": no file
  std::string section, key, defaultValue, expected;
};

// How Windows' own write compares: Windows keeps the file as it is around the value it
// writes; Wine rewrites the whole file in its own layout (blank lines dropped, blanks around
// "=" and names dropped, CR LF throughout), so on those files only what reads back is
// compared. Line breaks in a value are the one thing we knowingly write differently.
enum class WindowsWrite { SameBytes, SameReading, Differs };

struct ProfileWrite {
  std::string before;  // "-": no file
  std::string section, key, value, after;
  WindowsWrite windows = WindowsWrite::SameBytes;
};

// In the mixed file: keys before any section or in another, a key without "=", the first
// key and the first section of a name winning, blanks, quotes, a value beyond the buffer, a
// NUL, a lone CR ending a line, a "[" line that is no section, a ";" line that is no comment.
inline std::vector<ProfileRead> profileReads() {
  const std::string mixed =
      "Orphan=1\r\n[Other]\r\nElse=1\r\n  [ bus ]  \r\n; Else=1\r\nBare\r\n  PORT = 3  \r\n"
      "port=4\r\nName = \" two  words \"\r\nQ='x'\r\nHalf=\"x'\r\nEmpty=\r\nLong=" +
      std::string(300, 'a') +
      "\nNul=ab\0cd\r\nCr=a\rLate=b\r\n[Other2\r\nOpen=1\r\n[BUS]\r\n"
      "Early=1\r\n[Bus2]\r\nBare=1\r\nEuro=5 \x80\r\nLast=end"s;
  const std::string a254(254, 'a'), b254(254, 'b'), b300(300, 'b');
  std::vector<ProfileRead> reads = {
      {"-", "Bus", "Port", "  2  ", "  2"},
      {"-", "Bus", "Port", b300, b254},
      {"-", "Bus", "Port", "'q'", "q"},
      {"", "Bus", "Port", "def", "def"},
      {mixed, "Bus2", "Euro", "def", "5 €"},
      {mixed, "Bus2", "Last", "def", "end"},
      {"\xEF\xBB\xBF[Bus]\r\nEtat=Déconnecté\r\n", "Bus", "Etat", "", "Déconnecté"},
  };
  const std::pair<const char*, std::string> inBus[] = {
      {"Orphan", "def"},        {"Else", "def"}, {"Bare", "def"},  {" port ", "3"},
      {"name", " two  words "}, {"Q", "x"},      {"Half", "\"x'"}, {"Empty", ""},
      {"Long", a254},           {"Nul", "ab"},   {"Late", "b"},    {"Open", "1"},
      {"; Else", "1"},          {"Early", "def"}};
  for (const auto& [key, value] : inBus)
    reads.push_back({mixed, " bus ", key, "def", value});
  return reads;
}

inline std::vector<ProfileWrite> profileWrites() {
  using enum WindowsWrite;
  const std::string byHand =
      "; written by hand\r\n\r\n[Bus]\r\n  port = 1  \r\nUnknown=Keep Me\r\n; end of bus\r\n\r\n"
      "[Rapport]\r\nTitre=x\r\n";
  return {
      {"-", "Bus", "Port", "1", "[Bus]\r\nPort=1\r\n"},
      {"", "Bus", "Port", " \"1\" ", "[Bus]\r\nPort=\"1\"\r\n", SameReading},
      {"[Bus]\r\nPort=1", "Bus", "Baud", "2", "[Bus]\r\nPort=1\r\nBaud=2\r\n"},
      {"[Bus]\r\nPort=1", "Grille", "Zoom", "2", "[Bus]\r\nPort=1\r\n[Grille]\r\nZoom=2\r\n"},
      {"[Bus]\r\nPort=1\r\nPort=2\r\n[bus]\r\nBaud=3\r\n", "BUS", "baud", "4",
       "[Bus]\r\nPort=1\r\nPort=2\r\nbaud=4\r\n[bus]\r\nBaud=3\r\n"},
      {"[Bus]\r\nPort\r\nPort=3\r\n", "bus", "PORT", "2", "[Bus]\r\nPort=2\r\nPort=3\r\n"},
      {"[Bus]\r\n;c\r\n[Bus\r\n", "Bus", "Port", "5", "[Bus]\r\n;c\r\n[Bus\r\nPort=5\r\n"},
      {"-", "Bus", "Long", std::string(300, 'v'),
       "[Bus]\r\nLong=" + std::string(300, 'v') + "\r\n"},
      {"\xEF\xBB\xBF[Bus]\r\n", "Bus", "Etat", "Déconnecté",
       "\xEF\xBB\xBF[Bus]\r\nEtat=Déconnecté\r\n"},
      {"-", "Bus", "Etat", "Déconnecté ☺",
       "[Bus]\r\nEtat=D\xE9"
       "connect\xE9 ?\r\n"},
      {byHand, "BUS", "Port", "12",
       "; written by hand\r\n\r\n[Bus]\r\n  port = 12  \r\nUnknown=Keep Me\r\n; end of bus\r\n"
       "\r\n[Rapport]\r\nTitre=x\r\n",
       SameReading},
      {byHand, "Bus", "Baud", "9600",
       "; written by hand\r\n\r\n[Bus]\r\n  port = 1  \r\nUnknown=Keep Me\r\n; end of bus\r\n"
       "Baud=9600\r\n\r\n[Rapport]\r\nTitre=x\r\n",
       SameReading},
      {"[Bus]\nPort=1", "Grille", "Zoom", "2", "[Bus]\nPort=1\n[Grille]\nZoom=2\n", SameReading},
      {"[Bus]\r\nPort=a\rBaud=b\r\n", "Bus", "Baud", "2", "[Bus]\r\nPort=a\rBaud=2\r\n",
       SameReading},
      {"[Bus]\r\n", " Grille ", " Zoom ", "2", "[Bus]\r\n[Grille]\r\nZoom=2\r\n", SameReading},
      {"[Bus]\r\nPort=\r\n", "Bus", "Port", "3\r\nInjected=1", "[Bus]\r\nPort=3\r\n", Differs},
  };
}

}  // namespace korvane::testing
