#pragma once
// The measures window's log saved as a text file, for the technician's records.
//
//   saveMeasuresLog   the lines of the log, then "Nb de points : " and their number:
//
//                       (empty line)
//                       Détecteur : 1 / Mesure : 1 :> 5      every line, in order
//                       (empty line)
//                       ------------------------------------
//                       Nb de points : 1
//
//                     An empty log gives the count line alone. The file is Windows-1252 with
//                     CR LF line ends, replaced without asking but never left half written;
//                     on failure it returns false, with `error` the message to show.

#include <filesystem>
#include <string>
#include <vector>

namespace korvane::reports {

bool saveMeasuresLog(const std::filesystem::path& file, const std::vector<std::string>& lines,
                     std::string& error);

}  // namespace korvane::reports
