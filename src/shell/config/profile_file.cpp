#include "shell/config/profile_file.h"

#include <charconv>
#include <optional>
#include <system_error>
#include <vector>

#include "text/cp1252.h"
#include "text/replace_file.h"

namespace korvane::config {

namespace fs = std::filesystem;

namespace {

// The old tool read every value into a 255-character buffer; settings it wrote longer than
// that came back cut, and ours do the same.
constexpr std::size_t kValueLimit = 255;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// The Windows functions see C strings: whatever follows a NUL is not there for them.
std::string_view beforeNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
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

enum class LineKind { Blank, Comment, Section, Entry, Other };

// One line of the file, by offsets into the file's text so that a write can change exactly the
// bytes of one value and copy everything else through.
struct Line {
  LineKind kind = LineKind::Blank;
  std::size_t end = 0;  // just past the line end, or the end of the file
  bool hasLineEnd = false;
  std::string_view name;       // section name or key, without blanks
  std::size_t valueBegin = 0;  // the value without blanks (quotes still on)
  std::size_t valueEnd = 0;
};

void skipBlanks(std::string_view text, std::size_t& begin, std::size_t& end) {
  while (begin < end && isBlank(text[begin]))
    ++begin;
  while (end > begin && isBlank(text[end - 1]))
    --end;
}

Line parseLine(std::string_view text, std::size_t begin, std::size_t stop) {
  Line line;
  skipBlanks(text, begin, stop);
  if (begin == stop) return line;
  const std::string_view body = text.substr(begin, stop - begin);
  if (body.front() == '[') {
    line.kind = LineKind::Section;
    std::size_t nameBegin = begin + 1;
    const std::size_t close = body.find(']');
    std::size_t nameEnd = close == std::string_view::npos ? stop : begin + close;
    skipBlanks(text, nameBegin, nameEnd);
    line.name = text.substr(nameBegin, nameEnd - nameBegin);
  } else if (body.front() == ';') {
    line.kind = LineKind::Comment;
  } else if (const std::size_t equals = body.find('='); equals != std::string_view::npos) {
    line.kind = LineKind::Entry;
    std::size_t keyBegin = begin;
    std::size_t keyEnd = begin + equals;
    skipBlanks(text, keyBegin, keyEnd);
    line.name = text.substr(keyBegin, keyEnd - keyBegin);
    line.valueBegin = begin + equals + 1;
    line.valueEnd = stop;
    skipBlanks(text, line.valueBegin, line.valueEnd);
  } else {
    line.kind = LineKind::Other;
  }
  return line;
}

std::vector<Line> parse(std::string_view text) {
  std::vector<Line> lines;
  std::size_t begin = 0;
  while (begin < text.size()) {
    const std::size_t newline = text.find('\n', begin);
    const std::size_t lineEnd = newline == std::string_view::npos ? text.size() : newline;
    const std::size_t stop = begin + beforeNul(text.substr(begin, lineEnd - begin)).size();
    Line line = parseLine(text, begin, stop);
    line.hasLineEnd = newline != std::string_view::npos;
    line.end = line.hasLineEnd ? newline + 1 : text.size();
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
    if (line.kind == LineKind::Entry || line.kind == LineKind::Other) found.lastKeyLine = i;
    if (line.kind == LineKind::Entry && equalIgnoringCase(line.name, key)) {
      found.entry = i;
      break;
    }
  }
  return found;
}

std::string_view storedValue(std::string_view text, const Line& line) {
  std::string_view value = text.substr(line.valueBegin, line.valueEnd - line.valueBegin);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value.substr(0, kValueLimit);
}

// Lines we add follow the file's own line ends; a new file gets Windows ones.
std::string_view lineEndOf(std::string_view text) {
  const std::size_t newline = text.find('\n');
  if (newline == std::string_view::npos || (newline > 0 && text[newline - 1] == '\r')) {
    return "\r\n";
  }
  return "\n";
}

std::string withValue(const std::string& text, const std::string& section, const std::string& key,
                      const std::string& value) {
  const std::vector<Line> lines = parse(text);
  const Lookup found = find(lines, section, key);
  const std::string lineEnd(lineEndOf(text));
  std::string updated = text;
  if (found.entry) {
    const Line& line = lines[*found.entry];
    updated.replace(line.valueBegin, line.valueEnd - line.valueBegin, value);
  } else if (found.section) {
    const Line& after = lines[found.lastKeyLine];
    const std::string entry = key + "=" + value;
    updated.insert(after.end, after.hasLineEnd ? entry + lineEnd : lineEnd + entry);
  } else {
    if (!updated.empty() && updated.back() != '\n') updated += lineEnd;
    updated += "[" + section + "]" + lineEnd + key + "=" + value + lineEnd;
  }
  return updated;
}

// --- The file on disk ----------------------------------------------------------------------

std::string defaultAsRead(std::string_view defaultValue) {
  // Windows drops the blanks that end a default, then it goes through the same buffer.
  std::string value = text::utf8ToCp1252(beforeNul(defaultValue));
  while (!value.empty() && isBlank(value.back()))
    value.pop_back();
  if (value.size() > kValueLimit) value.resize(kValueLimit);
  return value;
}

}  // namespace

std::string Lire_Ini(const fs::path& file, std::string_view section, std::string_view key,
                     std::string_view defaultValue, bool writeBack) {
  try {
    std::optional<std::string> value;
    if (const std::optional<std::string> text = text::readFile(file)) {
      const std::vector<Line> lines = parse(*text);
      const Lookup found =
          find(lines, text::utf8ToCp1252(beforeNul(section)), text::utf8ToCp1252(beforeNul(key)));
      if (found.entry) value = storedValue(*text, lines[*found.entry]);
    }
    std::string result = text::cp1252ToUtf8(value ? *value : defaultAsRead(defaultValue));
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
    // as given, but nothing the tool stores has one, so it is cut there.
    std::string_view oneLine = beforeNul(value);
    oneLine = oneLine.substr(0, oneLine.find_first_of("\r\n"));
    const std::string updated =
        withValue(current, text::utf8ToCp1252(beforeNul(section)),
                  text::utf8ToCp1252(beforeNul(key)), text::utf8ToCp1252(oneLine));
    if (target->exists && updated == current) return true;
    return text::replaceFile(*target, updated);
  } catch (...) {
    return false;
  }
}

}  // namespace korvane::config
