// Finding and loading the HTML Help viewer: the registered library first, then the
// system directory's, by export ordinal 14, once per process; a failed load is final.
// Where the help file is looked for.
// The registration is pointed at stand-in libraries built beside the tests.
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "ui/help_win.h"
#include "win_test_support.h"

namespace {

constexpr const char* kViewerKey = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";
constexpr UINT kHelpCloseAll = 0x12;  // HH_CLOSE_ALL: asks the real viewer for nothing visible

std::string BesideTests(const char* name) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of('\\') + 1) + name;
}

std::string SystemFile(const char* name) {
  char directory[MAX_PATH];
  GetSystemDirectoryA(directory, sizeof directory);
  return std::string(directory) + "\\" + name;
}

std::string Environment(const char* name) {
  char value[MAX_PATH] = {};
  GetEnvironmentVariableA(name, value, sizeof value);
  return value;
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, sizeof path);
  return path;
}

// Points the viewer's registration at other data for one test and puts it back after.
class RegisteredViewer {
 public:
  RegisteredViewer() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kViewerKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
      BYTE data[1024];
      DWORD size = sizeof data;
      had_ = RegQueryValueExA(key, "", nullptr, &type_, data, &size) == ERROR_SUCCESS;
      if (had_) original_.assign(data, data + size);
      RegCloseKey(key);
    }
  }
  ~RegisteredViewer() {
    if (had_) {
      Set(type_, original_.data(), static_cast<DWORD>(original_.size()));
    } else {
      Remove();
    }
  }
  RegisteredViewer(const RegisteredViewer&) = delete;
  RegisteredViewer& operator=(const RegisteredViewer&) = delete;

  void SetText(const std::string& path) {
    Set(REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()), static_cast<DWORD>(path.size() + 1));
  }
  void Set(DWORD type, const BYTE* data, DWORD size) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, kViewerKey, &key), ERROR_SUCCESS);
    RegSetValueExA(key, "", 0, type, data, size);
    RegCloseKey(key);
  }
  void Remove() {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kViewerKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
      RegDeleteValueA(key, "");
      RegCloseKey(key);
    }
  }

 private:
  bool had_ = false;
  DWORD type_ = REG_SZ;
  std::vector<BYTE> original_;
};

class HelpViewer : public ::testing::Test {
 protected:
  void SetUp() override { ResetHelpViewer(); }
  void TearDown() override { ResetHelpViewer(); }

  template <typename T>
  T& FakeValue(const char* name) {
    HMODULE fake = GetModuleHandleA(fakePath.c_str());
    EXPECT_NE(fake, nullptr);
    return *reinterpret_cast<T*>(GetProcAddress(fake, name));
  }

  RegisteredViewer registration;
  const std::string fakePath = BesideTests("fake_viewer.dll");
  const std::string entrylessPath = BesideTests("entryless_viewer.dll");
};

TEST_F(HelpViewer, RegisteredLibraryIsCalledByOrdinalWithTheArgumentsUnchanged) {
  registration.SetText(fakePath);
  HWND owner = reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x5678));
  HWND result = CallHtmlHelp(owner, "C:\\help\\Lumerin.chm", kHelpDisplayTopic, 77);
  EXPECT_EQ(result, reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x1234)));
  EXPECT_EQ(helpViewerModule, GetModuleHandleA(fakePath.c_str()));
  EXPECT_FALSE(helpViewerFailed);
  EXPECT_EQ(FakeValue<HWND>("fakeViewerWindow"), owner);
  EXPECT_STREQ(&FakeValue<char>("fakeViewerFile"), "C:\\help\\Lumerin.chm");
  EXPECT_EQ(FakeValue<UINT>("fakeViewerCommand"), kHelpDisplayTopic);
  EXPECT_EQ(FakeValue<DWORD_PTR>("fakeViewerData"), 77u);
}

TEST_F(HelpViewer, SecondRequestReusesTheLibraryAndEntry) {
  registration.SetText(fakePath);
  const LONG before = GetModuleHandleA(fakePath.c_str()) ? FakeValue<LONG>("fakeViewerCalls") : 0;
  CallHtmlHelp(nullptr, "a.chm", kHelpDisplayTopic, 0);
  const HMODULE module = helpViewerModule;
  const HtmlHelpEntry entry = helpViewerEntry;
  // Were the viewer looked for again, it would now find a library without the entry.
  registration.SetText(entrylessPath);
  EXPECT_NE(CallHtmlHelp(nullptr, "b.chm", kHelpDisplayTopic, 0), nullptr);
  EXPECT_EQ(helpViewerModule, module);
  EXPECT_EQ(helpViewerEntry, entry);
  EXPECT_EQ(FakeValue<LONG>("fakeViewerCalls"), before + 2);
  EXPECT_EQ(GetModuleHandleA(entrylessPath.c_str()), nullptr);
}

TEST_F(HelpViewer, UnusableRegistrationFallsBackToTheSystemDirectory) {
  const std::string tooLong = "C:\\" + std::string(300, 'x') + "\\hhctrl.ocx";
  const struct {
    const char* what;
    std::string registered;  // empty: no value at all
  } cases[] = {
      {"file gone", "C:\\nowhere\\hhctrl.ocx"},
      {"path longer than 260 bytes", tooLong},
      {"no value", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHelpViewer();
    if (c.registered.empty()) {
      registration.Remove();
    } else {
      registration.SetText(c.registered);
    }
    CallHtmlHelp(nullptr, nullptr, kHelpCloseAll, 0);
    ASSERT_NE(helpViewerModule, nullptr);
    EXPECT_EQ(lstrcmpiA(ModulePath(helpViewerModule).c_str(), SystemFile("hhctrl.ocx").c_str()), 0)
        << ModulePath(helpViewerModule);
    EXPECT_NE(helpViewerEntry, nullptr);
    EXPECT_FALSE(helpViewerFailed);
  }
}

// A library planted beside the program (or in the current directory, here the same
// folder) under the name the registration gives relatively is never loaded: the system
// directory's viewer is. A registration that expands to a full path is taken.
TEST_F(HelpViewer, ARelativeRegistrationNeverLoadsAPlantedLibrary) {
  const std::string folder = BesideTests("");
  const std::string planted = BesideTests("planted_viewer.dll");
  ASSERT_TRUE(CopyFileA(fakePath.c_str(), planted.c_str(), FALSE));
  char previous[MAX_PATH];
  GetCurrentDirectoryA(sizeof previous, previous);
  SetCurrentDirectoryA(folder.c_str());
  SetEnvironmentVariableA("LUMERIN_PLANTED", "planted_viewer.dll");
  const struct {
    const char* what;
    DWORD type;
    std::string registered;
  } cases[] = {
      {"a bare name", REG_SZ, "planted_viewer.dll"},
      {"relative to the current directory", REG_SZ, ".\\planted_viewer.dll"},
      {"an expansion that gives a bare name", REG_EXPAND_SZ, "%LUMERIN_PLANTED%"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResetHelpViewer();
    registration.Set(c.type, reinterpret_cast<const BYTE*>(c.registered.c_str()),
                     static_cast<DWORD>(c.registered.size() + 1));
    CallHtmlHelp(nullptr, nullptr, kHelpCloseAll, 0);
    ASSERT_NE(helpViewerModule, nullptr);
    EXPECT_EQ(lstrcmpiA(ModulePath(helpViewerModule).c_str(), SystemFile("hhctrl.ocx").c_str()), 0)
        << ModulePath(helpViewerModule);
    EXPECT_EQ(GetModuleHandleA(planted.c_str()), nullptr) << "the planted library was loaded";
  }

  // The same folder by its full path, through an expansion: that is the registered viewer.
  ResetHelpViewer();
  SetEnvironmentVariableA("LUMERIN_PLANTED", folder.c_str());
  const std::string expanding = "%LUMERIN_PLANTED%planted_viewer.dll";
  registration.Set(REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expanding.c_str()),
                   static_cast<DWORD>(expanding.size() + 1));
  CallHtmlHelp(nullptr, nullptr, kHelpCloseAll, 0);
  EXPECT_NE(helpViewerModule, nullptr);
  EXPECT_EQ(helpViewerModule, GetModuleHandleA(planted.c_str()));

  SetEnvironmentVariableA("LUMERIN_PLANTED", nullptr);
  SetCurrentDirectoryA(previous);
  const HMODULE loaded = helpViewerModule;
  ResetHelpViewer();
  if (loaded != nullptr) FreeLibrary(loaded);
  DeleteFileA(planted.c_str());
}

TEST_F(HelpViewer, LibraryWithoutTheEntryGivesNothingAndIsAskedAgain) {
  registration.SetText(entrylessPath);
  EXPECT_EQ(CallHtmlHelp(nullptr, "a.chm", kHelpDisplayTopic, 0), nullptr);
  EXPECT_TRUE(helpViewerFailed);
  EXPECT_EQ(helpViewerModule, GetModuleHandleA(entrylessPath.c_str()));
  EXPECT_EQ(helpViewerEntry, nullptr);
  EXPECT_EQ(CallHtmlHelp(nullptr, "a.chm", kHelpDisplayTopic, 0), nullptr);
  EXPECT_EQ(helpViewerModule, GetModuleHandleA(entrylessPath.c_str()));
}

TEST_F(HelpViewer, RegisteredPathIsReadWithinItsBuffer) {
  SetEnvironmentVariableA("LUMERIN_LONG", ("C:\\" + std::string(200, 'l')).c_str());
  const std::string fits = "C:\\" + std::string(256, 'a');  // and the zero: 260 bytes
  const std::string tooLong = fits + 'a';
  const struct {
    const char* what;
    DWORD type;
    std::string data;  // stored bytes exactly
    bool found;
    std::string path;
  } cases[] = {
      {"text", REG_SZ, std::string("C:\\v\\hhctrl.ocx") + '\0', true, "C:\\v\\hhctrl.ocx"},
      {"260 bytes", REG_SZ, fits + '\0', true, fits},
      {"261 bytes", REG_SZ, tooLong + '\0', false, ""},
      {"no terminating zero", REG_BINARY, "C:\\v\\x.ocx", true, "C:\\v\\x.ocx"},
      {"260 bytes, no zero", REG_BINARY, tooLong, false, ""},
      {"expanded", REG_EXPAND_SZ, std::string("%SystemRoot%\\h.ocx") + '\0', true,
       Environment("SystemRoot") + "\\h.ocx"},
      {"expanded past 260 bytes", REG_EXPAND_SZ, "%LUMERIN_LONG%\\" + std::string(100, 'a') + '\0',
       false, ""},
      {"a share", REG_SZ, std::string("\\\\server\\share\\h.ocx") + '\0', true,
       "\\\\server\\share\\h.ocx"},
      {"a bare name", REG_SZ, std::string("hhctrl.ocx") + '\0', false, ""},
      {"relative to a drive's current folder", REG_SZ, std::string("C:hhctrl.ocx") + '\0', false,
       ""},
      {"from the current drive's root", REG_SZ, std::string("\\v\\hhctrl.ocx") + '\0', false, ""},
      {"expanded to a bare name", REG_EXPAND_SZ, std::string("%LUMERIN_NO_SUCH%h.ocx") + '\0',
       false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    registration.Set(c.type, reinterpret_cast<const BYTE*>(c.data.data()),
                     static_cast<DWORD>(c.data.size()));
    char path[kHelpViewerPathSize];
    std::memset(path, 'z', sizeof path);
    EXPECT_EQ(FindHelpViewerPath(path), c.found);
    EXPECT_EQ(std::string(path), c.path);  // always terminated inside the buffer
  }
  registration.Remove();
  char path[kHelpViewerPathSize];
  EXPECT_FALSE(FindHelpViewerPath(path));
}

// Each edition finds the help file beside its own program file, where the installer and
// the zip put both; without one there, in the system directory. A copy of a test library
// in a folder of its own stands for a program installed there.
TEST(HelpFilePath, BesideTheProgramWhenThereElseInTheSystemDirectory) {
  char temp[MAX_PATH];
  ASSERT_NE(GetTempPathA(sizeof temp, temp), 0u);
  const std::string folder = std::string(temp) + "lumerin-help-path\\";
  const std::string program = folder + "edition.dll";
  const std::string helpFile = folder + "Lumerin.chm";
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFileA(helpFile.c_str());  // left by a run that stopped half-way
  ASSERT_TRUE(CopyFileA(BesideTests("entryless_viewer.dll").c_str(), program.c_str(), FALSE));
  const HMODULE module = LoadLibraryA(program.c_str());
  ASSERT_NE(module, nullptr);
  const struct {
    const char* what;
    bool beside;
    std::string found;
  } cases[] = {
      {"nothing beside the program", false, SystemFile("Lumerin.chm")},
      {"the help file beside it", true, helpFile},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.beside) {
      CloseHandle(
          CreateFileA(helpFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    }
    char path[MAX_PATH];
    ASSERT_TRUE(HelpFilePath(module, path));
    EXPECT_EQ(lstrcmpiA(path, c.found.c_str()), 0) << path;
  }
  FreeLibrary(module);
  DeleteFileA(helpFile.c_str());
  DeleteFileA(program.c_str());
  RemoveDirectoryA(folder.c_str());
}

// Runs a copy of this test program under another name, for which Wine is told that the
// system's viewer library is disabled, with the given filter; true when the child passed.
bool RunWithoutViewer(const char* filter, const std::string& marker) {
  const std::string copyName = "win_tests_no_viewer.exe";
  const std::string copy = BesideTests(copyName.c_str());
  const std::string overrides = "Software\\Wine\\AppDefaults\\" + copyName + "\\DllOverrides";
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, sizeof self);
  if (!CopyFileA(self, copy.c_str(), FALSE)) return false;
  HKEY key;
  if (RegCreateKeyA(HKEY_CURRENT_USER, overrides.c_str(), &key) != ERROR_SUCCESS) return false;
  RegSetValueExA(key, "hhctrl.ocx", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  RegCloseKey(key);

  std::string command = "\"" + copy + "\" --gtest_filter=" + filter;
  SetEnvironmentVariableA("LUMERIN_NO_VIEWER_MARKER", marker.c_str());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr,
                                      nullptr, &startup, &process);
  SetEnvironmentVariableA("LUMERIN_NO_VIEWER_MARKER", nullptr);
  DWORD code = 1;
  if (started) {
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  RegDeleteKeyA(HKEY_CURRENT_USER, overrides.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, ("Software\\Wine\\AppDefaults\\" + copyName).c_str());
  DeleteFileA(copy.c_str());
  return code == 0;
}

TEST_F(HelpViewer, WithNoViewerAtAllHelpDoesNothingAndNeverTriesAgain) {
  const std::string marker = BesideTests("no_viewer_child.done");
  DeleteFileA(marker.c_str());
  ASSERT_TRUE(RunWithoutViewer("HelpViewerAbsent.*", marker));
  // The child really ran its checks (it leaves the marker only after all of them).
  EXPECT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES);
  DeleteFileA(marker.c_str());
}

// Runs only inside the child started above.
class HelpViewerAbsent : public SettingsKeyTest {};

TEST_F(HelpViewerAbsent, FirstRequestFailsAndLaterOnesDoNotLoad) {
  char marker[MAX_PATH];
  if (GetEnvironmentVariableA("LUMERIN_NO_VIEWER_MARKER", marker, sizeof marker) == 0) {
    GTEST_SKIP() << "started by HelpViewer.WithNoViewerAtAllHelpDoesNothingAndNeverTriesAgain";
  }
  ResetHelpViewer();
  RegisteredViewer registration;
  registration.SetText("C:\\nowhere\\hhctrl.ocx");
  ASSERT_EQ(LoadLibraryA(SystemFile("hhctrl.ocx").c_str()), nullptr) << "viewer still loads";

  // Through the dialog's Help button: nothing shows, the dialog stays.
  StoreSettings(SampleSettings());
  ConfigureDialog dialog;
  dialog.Command(IDC_HELP_BUTTON);
  EXPECT_TRUE(helpViewerFailed);
  EXPECT_EQ(helpViewerModule, nullptr);
  EXPECT_TRUE(IsWindow(dialog.window));

  // A usable viewer appearing now is not looked for: the failure is final.
  const std::string fake = BesideTests("fake_viewer.dll");
  registration.SetText(fake);
  dialog.Command(IDC_HELP_BUTTON);
  EXPECT_EQ(CallHtmlHelp(nullptr, "a.chm", kHelpDisplayTopic, 0), nullptr);
  EXPECT_EQ(GetModuleHandleA(fake.c_str()), nullptr);
  EXPECT_EQ(helpViewerModule, nullptr);
  EXPECT_TRUE(IsWindow(dialog.window));

  if (!HasFailure())
    CloseHandle(CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
}

}  // namespace
