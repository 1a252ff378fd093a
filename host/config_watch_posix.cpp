#include "host/config_watch_posix.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

#include "host/linux_modes_posix.h"

namespace {

// Everything up to the last slash, and what follows it.
void Split(const std::string& path, std::string* folder, std::string* name) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) {
    *folder = ".";
    *name = path;
  } else {
    *folder = slash == 0 ? "/" : path.substr(0, slash);
    *name = path.substr(slash + 1);
  }
}

}  // namespace

ConfigWatch::~ConfigWatch() {
  if (inotify_ >= 0) close(inotify_);
  if (epoll_ >= 0) close(epoll_);
}

bool ConfigWatch::Start(const std::string& path) {
  path_ = path;
  Split(path_, &folder_, &name_);
  Split(folder_, &parent_, &folderName_);
  epoll_ = epoll_create1(EPOLL_CLOEXEC);
  if (epoll_ < 0) return false;
  bool any = false;
  inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_ >= 0) {
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = inotify_;
    any = epoll_ctl(epoll_, EPOLL_CTL_ADD, inotify_, &event) == 0;
    Arm();
  }
  hangup_ = PipeSignal(SIGHUP, true);
  if (hangup_ >= 0) {
    epoll_event event = {};
    event.events = EPOLLIN;
    event.data.fd = hangup_;
    any = epoll_ctl(epoll_, EPOLL_CTL_ADD, hangup_, &event) == 0 || any;
  }
  if (!any) {
    close(epoll_);
    epoll_ = -1;
  }
  return any;
}

// (Re)places the watches on what exists now: a folder made since, a file that became a
// link, a folder that went. A watch that cannot be placed waits for the next change of
// the level above.
void ConfigWatch::Arm() {
  for (int* watch : {&fileWatch_, &folderWatch_, &parentWatch_}) {
    if (*watch >= 0) inotify_rm_watch(inotify_, *watch);
    *watch = -1;
  }
  const uint32_t changes = IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ATTRIB;
  parentWatch_ = inotify_add_watch(
      inotify_, parent_.c_str(), IN_CREATE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_ONLYDIR);
  folderWatch_ = inotify_add_watch(inotify_, folder_.c_str(),
                                   changes | IN_CREATE | IN_DELETE_SELF | IN_ONLYDIR);
  // Where the file is a link, the file it names: a change there is no change of the
  // folder. (A plain file's changes the folder reports, once.)
  struct stat status = {};
  if (lstat(path_.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
    fileWatch_ =
        inotify_add_watch(inotify_, path_.c_str(), IN_CLOSE_WRITE | IN_ATTRIB | IN_DELETE_SELF);
}

bool ConfigWatch::TakeChange() {
  bool changed = false, rearm = false;
  if (hangup_ >= 0) {
    char bytes[64];
    while (read(hangup_, bytes, sizeof bytes) > 0) changed = true;
  }
  if (inotify_ < 0) return changed;
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got = read(inotify_, buffer, sizeof buffer);
    if (got <= 0) break;
    for (ssize_t at = 0; at < got;) {
      inotify_event event;
      std::memcpy(&event, buffer + at, sizeof event);
      const char* name = buffer + at + sizeof event;
      const std::string named = event.len > 0 ? std::string(name, strnlen(name, event.len)) : "";
      at += static_cast<ssize_t>(sizeof event + event.len);
      if (event.mask & IN_Q_OVERFLOW) {
        changed = rearm = true;
      } else if (event.wd == parentWatch_) {
        // The folder made, renamed or removed: the file came or went with it.
        if (named == folderName_) changed = rearm = true;
      } else if (event.wd == folderWatch_) {
        if (event.mask & (IN_DELETE_SELF | IN_IGNORED)) {
          changed = rearm = true;
        } else if (named == name_) {
          // A file made empty is written next, and its close tells of the whole text; a
          // link is whole when it is made.
          struct stat status = {};
          if (!(event.mask & IN_CREATE) ||
              (lstat(path_.c_str(), &status) == 0 && S_ISLNK(status.st_mode)))
            changed = true;
          rearm = true;
        }
      } else if (event.wd == fileWatch_) {
        if (event.mask & (IN_CLOSE_WRITE | IN_ATTRIB)) changed = true;
        if (event.mask & (IN_DELETE_SELF | IN_IGNORED)) rearm = true;
      }
    }
  }
  if (rearm) Arm();
  return changed;
}
