#pragma once
// The profile file (BUS-CONFIG.INI in the tool's folder), read and written one value at a
// time the way the Windows profile functions do it, so that files edited by hand or left by
// the old tool read the same here, on Windows or on Linux. The file is Windows-1252; the
// strings given and returned are UTF-8.
//
//   Lire_Ini    the value of section/key, or the default when the file, section or key is
//               missing; names match without regard to case, blanks around names and values
//               and a pair of quotes around a value (or the default) are dropped, values stop
//               at 254 characters (a 255-character buffer and its NUL). Only the first section
//               of a name counts, and its first line of the key. writeBack stores the value
//               obtained, so the file lists every setting the tool reads after its first run.
//   Ecrire_Ini  replaces or adds one value and leaves every other byte of the file as it
//               was; the file is replaced whole, never left half written. false on any
//               failure: the callers carry on without the setting.
//
// As Windows reads it: lines end at CR LF, LF or CR; there are no comments (";x=1" is the
// key ";x"); a line without "=" is a key without a value; a file that starts with the UTF-8
// mark is UTF-8 instead of Windows-1252.

#include <filesystem>
#include <string>
#include <string_view>

namespace korvane::config {

std::string Lire_Ini(const std::filesystem::path& file, std::string_view section,
                     std::string_view key, std::string_view defaultValue, bool writeBack);
bool Ecrire_Ini(const std::filesystem::path& file, std::string_view section, std::string_view key,
                std::string_view value);

}  // namespace korvane::config
