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

// A relative XDG_CONFIG_HOME is to be ignored, as the base directory rules say.
fs::path configBase(const FolderEnvironment& env) {
  if (!env.xdgConfigHome.empty() && fs::path(env.xdgConfigHome).is_absolute()) {
    return env.xdgConfigHome;
  }
  if (!env.home.empty()) return fs::path(env.home) / ".config";
  return {};
}

std::string variable(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

FolderEnvironment folderEnvironment() {
  return {variable("XDG_CONFIG_HOME"), variable("HOME")};
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

}  // namespace korvane::config
