#pragma once
// The folder where the tool keeps its settings file and finds the report's template and
// pictures.
//
//   toolFolder         the executable's folder when the tool runs from where it was built or
//                      unpacked and may write there (a developer's build, a Windows install);
//                      else, for an installed tool (its files in ../share/korvane) or a
//                      read-only folder, the user's configuration folder
//                      $XDG_CONFIG_HOME/korvane (~/.config/korvane when unset), created if
//                      need be. Before the tool's first run there, the shipped template and
//                      pictures are copied into it; a file already there is never replaced.
//   dataFolder         where the visit history goes: the tool's folder, unless that is the
//                      user's configuration folder; then, as data belongs, the user's data
//                      folder $XDG_DATA_HOME/korvane (~/.local/share/korvane when unset),
//                      created if need be, or the tool's folder when it cannot be
//   folderEnvironment  XDG_CONFIG_HOME, XDG_DATA_HOME and HOME, as the process sees them
//
// Nothing here fails: a folder that cannot be made leaves the tool where it can at least read
// the shipped files, and its settings then simply last for one run.
#include <filesystem>
#include <string>

namespace korvane::config {

struct FolderEnvironment {
  std::string xdgConfigHome;  // empty when unset
  std::string home;           // empty when unset
  std::string xdgDataHome;    // empty when unset
};

FolderEnvironment folderEnvironment();

std::filesystem::path toolFolder(const std::filesystem::path& applicationDir,
                                 const FolderEnvironment& env);
std::filesystem::path dataFolder(const std::filesystem::path& toolFolder,
                                 const FolderEnvironment& env);

}  // namespace korvane::config
