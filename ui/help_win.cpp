#include "ui/help_win.h"

#include <cstring>

#include "host/system_path_win.h"

HMODULE helpViewerModule = nullptr;
HtmlHelpEntry helpViewerEntry = nullptr;
bool helpViewerFailed = false;

namespace {

constexpr const char* kViewerClassKey =
    "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr const char* kViewerFileName = "hhctrl.ocx";
constexpr const char* kHelpFileName = "Lumerin.chm";
constexpr WORD kHtmlHelpAOrdinal = 14;

// The fallback loads the viewer from the system directory by its full path: a bare
// name would be looked up in the program's folder and the current directory first.
HMODULE LoadViewerFromSystemDirectory() {
  char path[MAX_PATH];
  if (!SystemFilePath(kViewerFileName, path, sizeof path)) return nullptr;
  return LoadLibraryA(path);
}

// A full path names one file wherever the program runs: a drive and its root ("C:\\...")
// or a network share ("\\\\server\\share\\..."). Anything else ("hhctrl.ocx", "C:hhctrl.ocx",
// "\\hhctrl.ocx") would be looked up from the program's folder or the current directory.
bool IsFullPath(const char* path) {
  const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && (path[2] == '\\' || path[2] == '/');
  const bool share = (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
  return drive || share;
}

}  // namespace

bool FindHelpViewerPath(char (&path)[kHelpViewerPathSize]) {
  path[0] = '\0';
  HKEY key;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kViewerClassKey, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  char stored[kHelpViewerPathSize];
  DWORD size = sizeof stored;
  DWORD type = REG_NONE;
  const LONG result =
      RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(stored), &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || size > sizeof stored) return false;
  // The stored data need not end in a zero; without one it must leave room for it.
  if (size == 0 || stored[size - 1] != '\0') {
    if (size == sizeof stored) return false;
    stored[size] = '\0';
  }
  if (type == REG_EXPAND_SZ) {
    // The count includes the terminating zero; more than the size given means it did not
    // fit. The single-byte version may need one byte more than it counts: it is kept free.
    const DWORD room = sizeof path - 1;
    const DWORD needed = ExpandEnvironmentStringsA(stored, path, room);
    if (needed == 0 || needed > room) {
      path[0] = '\0';
      return false;
    }
  } else {
    std::memcpy(path, stored, std::strlen(stored) + 1);
  }
  if (!IsFullPath(path)) {
    path[0] = '\0';
    return false;
  }
  return true;
}

HWND CallHtmlHelp(HWND window, LPCSTR file, UINT command, DWORD_PTR data) {
  if (helpViewerModule == nullptr && !helpViewerFailed) {
    char registered[kHelpViewerPathSize];
    if (FindHelpViewerPath(registered)) helpViewerModule = LoadLibraryA(registered);
    if (helpViewerModule == nullptr) helpViewerModule = LoadViewerFromSystemDirectory();
    if (helpViewerModule == nullptr) {
      helpViewerFailed = true;
      return nullptr;
    }
  }
  if (helpViewerModule == nullptr) return nullptr;
  if (helpViewerEntry == nullptr) {
    helpViewerEntry = reinterpret_cast<HtmlHelpEntry>(reinterpret_cast<void (*)()>(
        GetProcAddress(helpViewerModule, MAKEINTRESOURCEA(kHtmlHelpAOrdinal))));
    if (helpViewerEntry == nullptr) {
      helpViewerFailed = true;
      return nullptr;
    }
  }
  return helpViewerEntry(window, file, command, data);
}

bool HelpFilePath(HMODULE module, char (&path)[MAX_PATH]) {
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  // A name that fills the whole buffer was cut short (and is then unterminated on some
  // systems): the system directory is asked instead.
  if (length > 0 && length < MAX_PATH) {
    path[length] = '\0';
    // The last separator, stepping by characters: in a double-byte code page the second
    // byte of a character can have the separator's value.
    char* folderEnd = nullptr;
    for (char* c = path; *c != '\0'; c = CharNextA(c)) {
      if (*c == '\\') folderEnd = c + 1;
    }
    const size_t nameSize = std::strlen(kHelpFileName) + 1;
    if (folderEnd != nullptr && static_cast<size_t>(folderEnd - path) + nameSize <= MAX_PATH) {
      std::memcpy(folderEnd, kHelpFileName, nameSize);
      const DWORD attributes = GetFileAttributesA(path);
      if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return true;
      }
    }
  }
  return SystemFilePath(kHelpFileName, path, MAX_PATH);
}

void ShowHelpFile(HWND owner) {
  char path[MAX_PATH];
  if (!HelpFilePath(nullptr, path)) return;
  CallHtmlHelp(owner, path, kHelpDisplayTopic, 0);
}

void ResetHelpViewer() {
  helpViewerModule = nullptr;
  helpViewerEntry = nullptr;
  helpViewerFailed = false;
}
