// Watching the configuration file for changes, for an event loop to poll: inotify on the
// file's folder (an editor that writes a new file and renames it over the old one is seen
// as well as one that writes in place), on the folder's parent (the folder made or removed
// while the program runs) and, where the file is a link, on the file it names, and SIGHUP,
// which asks for the file to be read again. One descriptor stands for all of them. Used by
// the main thread only; SIGHUP is taken for the life of the process once Start is called.
#pragma once

#include <string>

class ConfigWatch {
 public:
  ConfigWatch() = default;
  ~ConfigWatch();
  ConfigWatch(const ConfigWatch&) = delete;
  ConfigWatch& operator=(const ConfigWatch&) = delete;

  // Starts watching `path` (its folder need not exist yet). False when neither inotify nor
  // the signal could be set up; with only one of them the watch runs with that one.
  bool Start(const std::string& path);

  // The descriptor to poll for POLLIN (-1 before Start or when it failed, which poll skips).
  int fd() const { return epoll_; }

  // After the descriptor polled readable: reads what arrived, and returns true when the
  // file may have changed (or SIGHUP came). Never waits.
  bool TakeChange();

 private:
  void Arm();

  std::string path_, folder_, parent_, name_, folderName_;
  int epoll_ = -1;
  int inotify_ = -1;
  int hangup_ = -1;  // SIGHUP's pipe
  int fileWatch_ = -1, folderWatch_ = -1, parentWatch_ = -1;
};
