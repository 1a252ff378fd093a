// The settings of `lumerin saver` and `lumerin wallpaper` from their two sources, the
// configuration file ($XDG_CONFIG_HOME/lumerin/config) and the command line, read again
// when the file changes. The reading itself is the option reader's (saver_options.h);
// this piece finds and loads the file and keeps what was read well. Used by the main
// thread only; reading the settings of an output leaves Settings as it was.
#pragma once

#include <string>

#include "settings/settings.h"
#include "tools/saver_options.h"
#include "tools/tool.h"

// Where the configuration file lives: $XDG_CONFIG_HOME/lumerin/config when that names an
// absolute folder, else $HOME/.config/lumerin/config; empty when neither is set.
std::string SaverConfigPath(const char* xdgConfigHome, const char* home);

// Reads the file at `path` into `config`. A missing file (or an empty path) reads as an
// empty one; a file that cannot be read, or a bad line, is an error. Returns an empty
// string, or the one-line message "PATH:LINE: what is wrong" (or "PATH: what is wrong").
std::string LoadSaverConfig(const std::string& path, SaverConfig* config);

// The settings of one output (or of the one window of the X11 edition).
struct OutputSettings {
  SettingsRecord settings;  // to be copied into Settings before its figure is drawn
  bool pauseOnBattery;      // its figure stands still while the machine runs on battery
};

class SaverSetup {
 public:
  // `args` is the command line from the command's name on.
  SaverSetup(const Args& args, SaverCommandKind kind, std::string path)
      : args_(args), kind_(kind), path_(std::move(path)) {}

  // Reads the command line, then the file under it (not for --help). Returns an empty
  // string, or the one-line message for a refused command line or file (the program then
  // ends with status 2).
  // Leaves Settings as the file's own values and the command line make them.
  std::string Load(const char* namedWindow = nullptr);

  // Reads the file again. A good file replaces the one read before and returns an empty
  // string; a bad one changes nothing and returns the message.
  std::string Reload();

  // The settings of output `output`: the file's own values, then its sections for that
  // name, then the command line. An empty name takes no section.
  OutputSettings For(const std::string& output) const;

  const SaverCommand& command() const { return command_; }
  const std::string& path() const { return path_; }

 private:
  Args args_;
  SaverCommandKind kind_;
  std::string path_;
  SaverConfig config_;
  SaverCommand command_;
};
