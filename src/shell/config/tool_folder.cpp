#include "shell/config/tool_folder.h"

#include <cstdlib>
#include <fstream>
#include <random>
#include <system_error>

#include "reports/report_images.h"
#include "shell/config/settings.h"

namespace korvane::config {

namespace fs = std::filesystem;

namespace {

// Creating a file is the one sure test: permissions, a read-only mount, access lists and a
// user who is root all have their say in it.
bool canWriteIn(const fs::path& dir) {
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return false;
  const fs::path probe = dir / (".korvane-probe-" + std::to_string(std::random_device{}()));
  if (!std::ofstream(probe, std::ios::binary)) return false;
  fs::remove(probe, ec);
  return true;
}

// A relative XDG_CONFIG_HOME or XDG_DATA_HOME is to be ignored, as the base directory rules
// say.
fs::path baseFolder(const std::string& variable, const std::string& home, const char* fallback) {
  if (!variable.empty() && fs::path(variable).is_absolute()) return variable;
  if (!home.empty()) return fs::path(home) / fallback;
  return {};
}

fs::path configBase(const FolderEnvironment& env) {
  return baseFolder(env.xdgConfigHome, env.home, ".config");
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

FolderEnvironment folderEnvironment() {
  return {variable("XDG_CONFIG_HOME"), variable("HOME"), variable("XDG_DATA_HOME")};
}

fs::path toolFolder(const fs::path& applicationDir, const FolderEnvironment& env) {
  std::error_code ec;
  // An installed tool must not write beside its executable even when it may (run as root,
  // that is /usr/bin), and its report files are not there.
  const fs::path shipped = (applicationDir / ".." / "share" / "korvane").lexically_normal();
  const bool installed = fs::is_directory(shipped, ec);
  if (!installed && canWriteIn(applicationDir)) return applicationDir;

  const fs::path base = configBase(env);
  const fs::path user = base.empty() ? fs::path() : base / "korvane";
  if (!user.empty()) fs::create_directories(user, ec);
  if (user.empty() || !fs::is_directory(user, ec)) return installed ? shipped : applicationDir;

  // Only before the first run from here: a company that later deletes the sample logo wants
  // no logo, not the sample back.
  if (installed && !fs::exists(configPath(user), ec)) {
    for (const char* name :
         {reports::kTemplateFile, reports::kLogoFile, reports::kBackgroundFile}) {
      fs::copy_file(shipped / name, user / name, fs::copy_options::skip_existing, ec);
    }
  }
  return user;
}

fs::path dataFolder(const fs::path& toolFolder, const FolderEnvironment& env) {
  const fs::path config = configBase(env);
  if (config.empty() || toolFolder != config / "korvane") return toolFolder;
  const fs::path base = baseFolder(env.xdgDataHome, env.home, ".local/share");
  if (base.empty()) return toolFolder;
  std::error_code ec;
  fs::create_directories(base / "korvane", ec);
  return fs::is_directory(base / "korvane", ec) ? base / "korvane" : toolFolder;
}

}  // namespace korvane::config
