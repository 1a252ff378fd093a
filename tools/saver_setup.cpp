#include "tools/saver_setup.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

// Far more than any configuration file holds: a path that names something else (a
// device, a huge file) is refused rather than read into memory.
constexpr off_t kMaxConfigBytes = 1 << 20;

// The file's bytes into `text`: an empty string, or why they cannot be read.
std::string ReadWholeFile(const std::string& path, std::string* text, bool* missing) {
  *missing = false;
  // Not blocking, so that a pipe at the path cannot hold the program.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      *missing = true;
      return "";
    }
    return std::strerror(errno);
  }
  struct stat status = {};
  std::string refused;
  if (fstat(fd, &status) != 0) {
    refused = std::strerror(errno);
  } else if (S_ISDIR(status.st_mode)) {
    refused = std::strerror(EISDIR);
  } else if (!S_ISREG(status.st_mode)) {
    refused = "not a regular file";
  } else if (status.st_size > kMaxConfigBytes) {
    refused = "larger than 1 MiB";
  }
  char buffer[4096];
  while (refused.empty()) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) refused = std::strerror(errno);
    if (got <= 0) break;
    text->append(buffer, static_cast<size_t>(got));
    if (text->size() > static_cast<size_t>(kMaxConfigBytes)) refused = "larger than 1 MiB";
  }
  close(fd);
  return refused;
}

}  // namespace

std::string SaverConfigPath(const char* xdgConfigHome, const char* home) {
  // A relative $XDG_CONFIG_HOME is invalid and ignored, as the base directory rules say.
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/')
    return std::string(xdgConfigHome) + "/lumerin/config";
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/lumerin/config";
  return "";
}

std::string LoadSaverConfig(const std::string& path, SaverConfig* config) {
  *config = SaverConfig();
  if (path.empty()) return "";
  std::string text;
  bool missing = false;
  const std::string unreadable = ReadWholeFile(path, &text, &missing);
  if (!unreadable.empty()) return path + ": cannot read it: " + unreadable;
  if (missing) return "";
  const std::string refused = ReadSaverConfig(text, config);
  if (!refused.empty()) return path + ":" + refused;
  return "";
}

std::string SaverSetup::Load(const char* namedWindow) {
  // The command line alone first: its faults are named as it spells them, and --help
  // shows the help whatever the file holds.
  std::string refused = ReadSaverCommand(args_, namedWindow, &command_, kind_);
  if (!refused.empty() || command_.help) return refused;
  refused = LoadSaverConfig(path_, &config_);
  if (!refused.empty()) return refused;
  return ReadSaverCommand(args_, config_, "", namedWindow, &command_, kind_);
}

std::string SaverSetup::Reload() {
  SaverConfig config;
  const std::string refused = LoadSaverConfig(path_, &config);
  if (!refused.empty()) return refused;
  config_ = config;
  return "";
}

OutputSettings SaverSetup::For(const std::string& output) const {
  const SettingsRecord saved = Settings;
  SaverCommand command;
  // The command line was accepted with the file before; a file read since holds only
  // values that were checked as it was read.
  ReadSaverCommand(args_, config_, output, nullptr, &command, kind_);
  OutputSettings result = {Settings, command.pauseOnBattery};
  Settings = saved;
  return result;
}
