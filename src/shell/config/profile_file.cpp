#include "shell/config/profile_file.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "text/cp1252.h"
#include "text/replace_file.h"

namespace korvane::config {

namespace fs = std::filesystem;

namespace {

// The old tool read every value into a buffer of 255 characters, its final NUL included;
// settings it wrote longer than that came back cut, and ours do the same.
constexpr std::size_t kValueLimit = 254;

// A file saved as UTF-8 by a text editor starts with this mark; Windows then reads and writes
// it as UTF-8 rather than Windows-1252.
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

// The Windows functions see C strings: whatever follows a NUL is not there for them.
std::string_view beforeNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// How Windows takes the section and key it is asked for.
std::string_view asName(std::string_view name) {
  return trimmed(beforeNul(name));
}

char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  }
  return true;
}

// --- The file as lines --------------------------------------------------------------------

// Windows knows no comments: a line "; note" is a key nobody asks for, and a line with no "="
// is a key without a value, which reads as missing and is given its value by a write. A "["
// line without its "]" is such a key too, not a section.
enum class LineKind { Blank, Section, Entry };

// One line of the file, by offsets into the file's text so that a write can change exactly the
// bytes of one value and copy everything else through.
struct Line {
  LineKind kind = LineKind::Blank;
  std::size_t end = 0;  // just past the line end, or the end of the file
  bool hasLineEnd = false;
  std::string_view name;       // section name or key, without blanks
  bool hasValue = false;       // an entry with its "="
  std::size_t valueBegin = 0;  // the value without blanks (quotes still on); for an entry
  std::size_t valueEnd = 0;    // without "=", the end of its key
};

Line parseLine(std::string_view text, std::size_t begin, std::size_t stop) {
  Line line;
  const std::string_view body = trimmed(text.substr(begin, stop - begin));
  if (body.empty()) return line;
  if (const std::size_t close = body.find(']'); body.front() == '[' && close != body.npos) {
    line.kind = LineKind::Section;
    line.name = trimmed(body.substr(1, close - 1));
    return line;
  }
  line.kind = LineKind::Entry;
  const std::size_t equals = body.find('=');
  line.name = trimmed(body.substr(0, equals));
  line.hasValue = equals != body.npos;
  const std::string_view value =
      line.hasValue ? trimmed(body.substr(equals + 1)) : body.substr(body.size());
  line.valueBegin = static_cast<std::size_t>(value.data() - text.data());
  line.valueEnd = line.valueBegin + value.size();
  return line;
}

// Lines end at CR LF, LF or a lone CR, as Windows reads them.
std::vector<Line> parse(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = text.starts_with(kUtf8Mark) ? kUtf8Mark.size() : 0;
  while (begin < text.size()) {
    const std::size_t lineEnd = std::min(text.find_first_of("\r\n", begin), text.size());
    const std::size_t stop = begin + beforeNul(text.substr(begin, lineEnd - begin)).size();
    Line line = parseLine(text, begin, stop);
    line.hasLineEnd = lineEnd < text.size();
    line.end = text.compare(lineEnd, 2, "\r\n") == 0 ? lineEnd + 2
               : line.hasLineEnd                     ? lineEnd + 1
                                                     : lineEnd;
    lines.push_back(line);
    begin = line.end;
  }
  return lines;
}

struct Lookup {
  std::optional<std::size_t> section;  // header of the first section of that name
  std::optional<std::size_t> entry;    // first line of that key in it
  std::size_t lastKeyLine = 0;         // a new key goes after it, before the trailing blanks
};

Lookup find(const std::vector<Line>& lines, std::string_view section, std::string_view key) {
  Lookup found;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    if (!found.section) {
      if (line.kind == LineKind::Section && equalIgnoringCase(line.name, section)) {
        found.section = i;
        found.lastKeyLine = i;
      }
      continue;
    }
    if (line.kind == LineKind::Section) break;
    if (line.kind == LineKind::Entry) found.lastKeyLine = i;
    if (line.kind == LineKind::Entry && equalIgnoringCase(line.name, key)) {
      found.entry = i;
      break;
    }
  }
  return found;
}

// A stored value and a default alike: a pair of quotes around it is dropped, then it goes
// through the buffer.
std::string_view asValue(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value.substr(0, kValueLimit);
}

// Lines we add follow the file's own line ends; a new file gets Windows ones.
std::string_view lineEndOf(std::string_view text) {
  const std::size_t end = text.find_first_of("\r\n");
  return end != text.npos && text[end] == '\n' ? "\n" : "\r\n";
}

std::string withValue(const std::string& text, std::string_view section, std::string_view key,
                      std::string_view value) {
  const std::vector<Line> lines = parse(text);
  const Lookup found = find(lines, section, key);
  const std::string lineEnd(lineEndOf(text));
  std::string updated = text;
  const std::string entry = std::string(key) + "=" + std::string(value);
  if (found.entry) {
    const Line& line = lines[*found.entry];
    updated.replace(line.valueBegin, line.valueEnd - line.valueBegin,
                    line.hasValue ? std::string(value) : "=" + std::string(value));
  } else if (found.section) {
    const Line& after = lines[found.lastKeyLine];
    updated.insert(after.end, after.hasLineEnd ? entry + lineEnd : lineEnd + entry + lineEnd);
  } else {
    if (!lines.empty() && !lines.back().hasLineEnd) updated += lineEnd;
    updated += "[" + std::string(section) + "]" + lineEnd + entry + lineEnd;
  }
  return updated;
}

// --- The file on disk ----------------------------------------------------------------------

// The file's own encoding: Windows-1252, or UTF-8 after its mark.
struct Encoding {
  bool utf8 = false;
  std::string fromUtf8(std::string_view text) const {
    return utf8 ? std::string(text) : text::utf8ToCp1252(text);
  }
  std::string toUtf8(std::string_view text) const {
    return utf8 ? std::string(text) : text::cp1252ToUtf8(text);
  }
};

Encoding encodingOf(std::string_view text) {
  return {text.starts_with(kUtf8Mark)};
}

}  // namespace

std::string Lire_Ini(const fs::path& file, std::string_view section, std::string_view key,
                     std::string_view defaultValue, bool writeBack) {
  try {
    const std::string text = text::readFile(file).value_or("");
    const Encoding encoding = encodingOf(text);
    const std::vector<Line> lines = parse(text);
    const Lookup found =
        find(lines, encoding.fromUtf8(asName(section)), encoding.fromUtf8(asName(key)));
    std::string result;
    if (found.entry && lines[*found.entry].hasValue) {
      const Line& line = lines[*found.entry];
      result = encoding.toUtf8(
          asValue(std::string_view(text).substr(line.valueBegin, line.valueEnd - line.valueBegin)));
    } else {
      // Windows drops the blanks that end a default, and its quotes, as for a stored value.
      std::string asBytes = encoding.fromUtf8(beforeNul(defaultValue));
      while (!asBytes.empty() && isBlank(asBytes.back()))
        asBytes.pop_back();
      result = encoding.toUtf8(asValue(asBytes));
    }
    if (writeBack) Ecrire_Ini(file, section, key, result);
    return result;
  } catch (...) {
    return std::string(defaultValue);
  }
}

bool Ecrire_Ini(const fs::path& file, std::string_view section, std::string_view key,
                std::string_view value) {
  try {
    const std::optional<text::WriteTarget> target = text::writableTarget(file);
    if (!target) return false;
    std::string current;
    if (target->exists) {
      std::optional<std::string> read = text::readFile(target->path);
      if (!read) return false;
      current = std::move(*read);
    }
    // A line break in a value would end its line and start another entry; Windows writes it
    // as given, but nothing the tool stores has one, so it is cut there. The blanks around it
    // are dropped by any reading, so they are not written.
    std::string_view oneLine = beforeNul(value);
    oneLine = trimmed(oneLine.substr(0, oneLine.find_first_of("\r\n")));
    const Encoding encoding = encodingOf(current);
    const std::string updated =
        withValue(current, encoding.fromUtf8(asName(section)), encoding.fromUtf8(asName(key)),
                  encoding.fromUtf8(oneLine));
    if (target->exists && updated == current) return true;
    return text::replaceFile(*target, updated);
  } catch (...) {
    return false;
  }
}

}  // namespace korvane::config
