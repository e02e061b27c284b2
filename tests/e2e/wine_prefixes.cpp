#include "wine_prefixes.h"

#include <filesystem>
#include <memory>
#include <optional>

#include "process.h"

namespace e2e {
namespace fs = std::filesystem;

namespace {

// The user folder Wine made in the prefix (named after the Linux user).
std::optional<fs::path> WineUserFolder(const fs::path& prefix) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(prefix / "drive_c" / "users", error)) {
    if (entry.path().filename() != "Public") return entry.path();
  }
  return std::nullopt;
}

}  // namespace

std::string WindowsPath(const std::string& path) {
  std::string windows = "Z:" + path;
  for (char& c : windows) {
    if (c == '/') c = '\\';
  }
  return windows;
}

WinePrefixes EmulatedWin32(const std::string& envScript, const std::vector<std::string>& binds,
                           const std::string& root) {
  std::vector<std::string> launcher{envScript, "run"};
  for (const std::string& folder : binds) launcher.insert(launcher.end(), {"--bind", folder});
  launcher.push_back("--");
  return WinePrefixes{launcher, "/usr/bin/wine", root, "win32"};
}

std::string WinePrefixes::Prefix(int side) const {
  return (fs::path(root) / (side == 0 ? "server" : "client")).string();
}

std::vector<std::string> WinePrefixes::Command(int side,
                                               const std::vector<std::string>& argv) const {
  std::vector<std::string> command = launcher;
  command.insert(command.end(),
                 {"env", "WINEPREFIX=" + Prefix(side), "WINEARCH=" + arch, "WINEDEBUG=-all"});
  command.insert(command.end(), argv.begin(), argv.end());
  return command;
}

void WinePrefixes::StopServer(int side) const {
  const std::string server = (fs::path(wine).parent_path() / "wineserver").string();
  RunCommand(Command(side, {server, "-k"}));
  RunCommand(Command(side, {server, "-w"}));
}

std::string WinePrefixes::Prepare(const std::string documents[2]) const {
  std::unique_ptr<ChildProcess> boots[2];
  for (int side : {0, 1}) {
    if (fs::exists(fs::path(Prefix(side)) / "system.reg")) continue;
    fs::create_directories(Prefix(side));
    const std::string log = Prefix(side) + ".wineboot.txt";
    boots[side] =
        std::make_unique<ChildProcess>(Command(side, {wine, "wineboot", "--init"}), log, log);
  }
  for (int side : {0, 1}) {
    if (boots[side] && boots[side]->WaitFor(std::chrono::minutes(5)) != std::optional<int>(0)) {
      return "wineboot failed; see " + Prefix(side) + ".wineboot.txt";
    }
    StopServer(side);
    const auto user = WineUserFolder(Prefix(side));
    if (!user) return "no user folder in the Wine prefix " + Prefix(side);
    const fs::path folder = *user / "Documents";
    fs::remove_all(folder);  // a folder, or Wine's link to the Linux documents folder
    fs::create_directory_symlink(documents[side], folder);
  }
  return "";
}

}  // namespace e2e
