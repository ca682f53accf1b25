#include "sim/loop.h"

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace korvane::sim {

using nlohmann::json;

bool isModule(std::uint8_t code) {
  return code == kCodeModule8 || code == kCodeModule4 || code == kCodeModule2;
}

int channelsOf(std::uint8_t code) {
  switch (code) {
    case kCodeModule8:
      return 8;
    case kCodeModule4:
      return 4;
    case kCodeModule2:
      return 2;
    default:
      return 1;
  }
}

Loop loopOf(const std::vector<std::uint8_t>& codes) {
  Loop loop;
  for (std::uint8_t code : codes) {
    loop.points.emplace_back();
    loop.points.back().code = code;
  }
  return loop;
}

int Loop::addressCount() const {
  int count = 0;
  for (const Point& p : points)
    count += channelsOf(p.code);
  return count;
}

namespace {

[[noreturn]] void fail(const std::string& where, const std::string& what) {
  throw std::runtime_error(where.empty() ? what : where + ": " + what);
}

std::string pointName(std::size_t index) {
  return "points[" + std::to_string(index) + "]";
}

}  // namespace

std::vector<std::uint8_t> channelAddresses(const Loop& loop) {
  std::vector<std::uint8_t> addresses;
  for (const Point& p : loop.points) {
    const int channels = channelsOf(p.code);
    // A default address is the channel's position, so a loop read from address 1 upward works
    // without re-addressing; an explicit one applies to the first channel, the others follow.
    const int first = p.address ? *p.address : static_cast<int>(addresses.size()) + 1;
    for (int c = 0; c < channels; ++c) {
      const int a = first == 0 ? 0 : first + c;
      addresses.push_back(static_cast<std::uint8_t>(a > 255 ? 255 : a));
    }
  }
  return addresses;
}

void validateLoop(const Loop& loop) {
  const int count = loop.addressCount();
  if (count > kMaxAddresses) {
    fail("", "the loop takes " + std::to_string(count) + " addresses; a loop has at most " +
                 std::to_string(kMaxAddresses));
  }
  std::map<int, std::size_t> owner;  // address -> point index
  int position = 0;
  for (std::size_t i = 0; i < loop.points.size(); ++i) {
    const Point& p = loop.points[i];
    const int channels = channelsOf(p.code);
    const int first = p.address ? *p.address : position + 1;
    position += channels;
    if (p.temperature < -20 || p.temperature > 235) {
      fail(pointName(i) + ".temperature",
           std::to_string(p.temperature) + " is out of range (-20 to 235 degrees)");
    }
    if (p.silentAtSearch < 0) fail(pointName(i) + ".silent_at_search", "must not be negative");
    if (p.failingTimes < 0) fail(pointName(i) + ".failing_times", "must not be negative");
    if (first == 0) continue;
    if (first + channels - 1 > kMaxAddresses) {
      fail(pointName(i) + ".address",
           channels > 1 ? "the module's " + std::to_string(channels) + " channels from address " +
                              std::to_string(first) + " go past address 128"
                        : std::to_string(first) + " is past address 128");
    }
    for (int a = first; a < first + channels; ++a) {
      const auto [it, fresh] = owner.emplace(a, i);
      if (!fresh) {
        fail(pointName(i) + ".address",
             "address " + std::to_string(a) + " already belongs to " + pointName(it->second));
      }
    }
  }
}

namespace {

// ---- JSON reading -------------------------------------------------------------------------

void checkKeys(const json& object, const std::string& where,
               std::initializer_list<const char*> known) {
  for (const auto& item : object.items()) {
    bool ok = false;
    for (const char* k : known)
      ok = ok || item.key() == k;
    if (!ok) fail(where, "unknown key \"" + item.key() + "\"");
  }
}

long long integerAt(const json& v, const std::string& where, long long lo, long long hi,
                    const char* what) {
  if (!v.is_number_integer()) fail(where, "expected " + std::string(what) + ", got " + v.dump());
  const long long n = v.get<long long>();
  if (n < lo || n > hi) fail(where, std::to_string(n) + " is not " + what);
  return n;
}

std::uint8_t byteAt(const json& v, const std::string& where) {
  return static_cast<std::uint8_t>(integerAt(v, where, 0, 255, "a byte (0 to 255)"));
}

int countAt(const json& v, const std::string& where) {
  return static_cast<int>(integerAt(v, where, 0, 1000000, "a count (0 to 1000000)"));
}

bool boolAt(const json& v, const std::string& where) {
  if (!v.is_boolean()) fail(where, "expected true or false, got " + v.dump());
  return v.get<bool>();
}

std::vector<std::uint8_t> bytesAt(const json& v, const std::string& where) {
  if (!v.is_array()) fail(where, "expected a list of bytes, got " + v.dump());
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    out.push_back(byteAt(v[i], where + "[" + std::to_string(i) + "]"));
  }
  return out;
}

// Register numbers are decimal ("12") or hexadecimal ("0x0C"), as the technician's notes have it.
std::uint8_t registerNumber(const std::string& text, const std::string& where) {
  std::size_t used = 0;
  long n = -1;
  try {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    n = std::stol(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
    if (hex) used += 2;
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || text.empty() || n < 0 || n > 255) {
    fail(where, "\"" + text + "\" is not a register number (0 to 255, or 0x00 to 0xFF)");
  }
  return static_cast<std::uint8_t>(n);
}

Box parseBox(const json& j) {
  const std::string where = "box";
  if (!j.is_object()) fail(where, "expected an object");
  checkKeys(j, where, {"version", "short_circuit", "current", "voltage_out", "voltage_return"});
  Box box;
  if (j.contains("version")) box.version = byteAt(j["version"], "box.version");
  if (j.contains("short_circuit")) {
    box.shortCircuit = boolAt(j["short_circuit"], "box.short_circuit");
  }
  if (j.contains("current")) box.current = byteAt(j["current"], "box.current");
  if (j.contains("voltage_out")) box.voltageOut = byteAt(j["voltage_out"], "box.voltage_out");
  if (j.contains("voltage_return")) {
    box.voltageReturn = byteAt(j["voltage_return"], "box.voltage_return");
  }
  return box;
}

Point parsePoint(const json& j, std::size_t index) {
  const std::string where = pointName(index);
  if (!j.is_object()) fail(where, "expected an object");
  checkKeys(j, where,
            {"code",
             "note",
             "address",
             "serial",
             "pcb_version",
             "soft_version",
             "initial",
             "alarm",
             "fault",
             "chamber",
             "temperature",
             "state",
             "mode",
             "position",
             "delay",
             "rating",
             "supply",
             "registers",
             "silent_at_search",
             "failing_registers",
             "failing_times",
             "dead"});
  if (!j.contains("code")) fail(where, "missing \"code\" (the point's type code)");

  auto at = [&](const char* key) { return where + "." + key; };
  auto byteOf = [&](const char* key, std::uint8_t& out) {
    if (j.contains(key)) out = byteAt(j[key], at(key));
  };

  Point p;
  p.code = byteAt(j["code"], at("code"));
  if (j.contains("note")) {
    if (!j["note"].is_string()) fail(at("note"), "expected a text");
    p.note = j["note"].get<std::string>();
  }
  if (j.contains("address")) {
    p.address = static_cast<std::uint8_t>(
        integerAt(j["address"], at("address"), 0, kMaxAddresses, "an address (0 to 128)"));
  }
  if (j.contains("serial")) {
    const auto bytes = bytesAt(j["serial"], at("serial"));
    if (bytes.size() != 4) fail(at("serial"), "expected four bytes");
    p.serial = std::array<std::uint8_t, 4>{bytes[0], bytes[1], bytes[2], bytes[3]};
  }
  byteOf("pcb_version", p.pcbVersion);
  byteOf("soft_version", p.softVersion);
  byteOf("initial", p.initial);
  byteOf("alarm", p.alarm);
  byteOf("fault", p.fault);
  byteOf("state", p.state);
  byteOf("mode", p.mode);
  byteOf("position", p.position);
  byteOf("delay", p.delay);
  byteOf("rating", p.rating);
  byteOf("supply", p.supply);
  if (j.contains("chamber")) p.chamber = bytesAt(j["chamber"], at("chamber"));
  if (j.contains("temperature")) {
    p.temperature = static_cast<int>(integerAt(j["temperature"], at("temperature"), -20, 235,
                                               "a temperature (-20 to 235 degrees)"));
  }
  if (j.contains("registers")) {
    const json& regs = j["registers"];
    if (!regs.is_object()) fail(at("registers"), "expected an object such as {\"3\": 5}");
    for (const auto& item : regs.items()) {
      const std::uint8_t r = registerNumber(item.key(), at("registers"));
      p.registers[r] = byteAt(item.value(), at("registers") + "." + item.key());
    }
  }
  if (j.contains("silent_at_search")) {
    p.silentAtSearch = countAt(j["silent_at_search"], at("silent_at_search"));
  }
  if (j.contains("failing_registers")) {
    for (std::uint8_t r : bytesAt(j["failing_registers"], at("failing_registers"))) {
      p.failingRegisters.insert(r);
    }
  }
  if (j.contains("failing_times")) {
    p.failingTimes = countAt(j["failing_times"], at("failing_times"));
  }
  if (j.contains("dead")) p.dead = boolAt(j["dead"], at("dead"));

  // Keys that would land on a register the point uses for something else.
  if (isModule(p.code) && j.contains("initial")) {
    fail(at("initial"), "a module has no chamber (its register 0x0C is a serial byte)");
  }
  if (!isModule(p.code) && j.contains("delay")) {
    fail(at("delay"), "only modules (codes 66, 67, 68) have an input delay");
  }
  int chamberKeys = 0;
  for (const char* k : {"chamber", "position", "rating"})
    chamberKeys += j.contains(k) ? 1 : 0;
  if (chamberKeys > 1) {
    fail(where, "\"chamber\", \"position\" and \"rating\" all feed register 0x11; give one");
  }
  return p;
}

}  // namespace

Loop parseLoop(const std::string& jsonText) {
  json j;
  try {
    j = json::parse(jsonText);
  } catch (const json::parse_error& e) {
    fail("", std::string("not valid JSON: ") + e.what());
  }
  if (!j.is_object()) fail("", "expected an object with \"box\" and \"points\"");
  checkKeys(j, "", {"box", "points", "note"});

  Loop loop;
  if (j.contains("box")) loop.box = parseBox(j["box"]);
  if (j.contains("points")) {
    const json& points = j["points"];
    if (!points.is_array()) fail("points", "expected a list of points");
    for (std::size_t i = 0; i < points.size(); ++i)
      loop.points.push_back(parsePoint(points[i], i));
  }
  validateLoop(loop);
  return loop;
}

Loop loadLoop(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error(path + ": cannot open the loop file");
  std::ostringstream text;
  text << in.rdbuf();
  try {
    return parseLoop(text.str());
  } catch (const std::runtime_error& e) {
    throw std::runtime_error(path + ": " + e.what());
  }
}

}  // namespace korvane::sim
