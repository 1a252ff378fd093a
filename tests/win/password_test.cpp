// The password services' own bookkeeping against the real registry and loader: which
// library stays loaded, when the screen-saver-running state changes, and the full paths
// the libraries are loaded from. The checker itself and the password change are proved
// end to end with stand-in libraries (tests/e2e/test_passwords.py).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "host/password_win.h"
#include "host/startup_win.h"
#include "host/system_path_win.h"

namespace {

constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kUsePassword = "ScreenSaveUsePassword";

// This process's view of the state, which is what it last set itself.
bool ScreenSaverRunning() {
  BOOL running = FALSE;
  SystemParametersInfoA(114, 0, &running, 0);  // SPI_GETSCREENSAVERRUNNING
  return running != FALSE;
}

void SetRunningState(bool on) {
  UINT previous = 0;
  SystemParametersInfoA(97, on ? 1 : 0, &previous, 0);
}

BOOL WINAPI AcceptEverything(HWND) { return TRUE; }

std::string SystemDirectory() {
  char directory[MAX_PATH] = {};
  GetSystemDirectoryA(directory, sizeof directory);
  return directory;
}

// A private copy of a test library, so that no other test holds a reference to it and
// its unloading can be seen.
class PrivateLibrary {
 public:
  PrivateLibrary() {
    char self[MAX_PATH], temp[MAX_PATH];
    const std::string tests(self, GetModuleFileNameA(nullptr, self, sizeof self));
    GetTempPathA(sizeof temp, temp);
    path_ = std::string(temp) + "lumerin_password_test.dll";
    CopyFileA((tests.substr(0, tests.find_last_of('\\') + 1) + "fake_viewer.dll").c_str(),
              path_.c_str(), FALSE);
  }
  ~PrivateLibrary() {
    while (Loaded()) FreeLibrary(GetModuleHandleA(path_.c_str()));
    DeleteFileA(path_.c_str());
  }
  PrivateLibrary(const PrivateLibrary&) = delete;
  PrivateLibrary& operator=(const PrivateLibrary&) = delete;

  HMODULE Load() const { return LoadLibraryA(path_.c_str()); }
  bool Loaded() const { return GetModuleHandleA(path_.c_str()) != nullptr; }

 private:
  std::string path_;
};

// Owns the desktop's "ScreenSaveUsePassword", the process-wide values of the password
// services and the family flag for one test, and puts them all back afterwards.
class PasswordServices : public ::testing::Test {
 protected:
  void SetUp() override {
    RegCreateKeyA(HKEY_CURRENT_USER, kDesktopKey, &desktop_);
    BYTE data[64];
    DWORD size = sizeof data;
    hadValue_ = RegQueryValueExA(desktop_, kUsePassword, nullptr, &savedType_, data, &size) == 0;
    if (hadValue_) savedData_.assign(data, data + size);
  }
  void TearDown() override {
    if (hadValue_) {
      RegSetValueExA(desktop_, kUsePassword, 0, savedType_, savedData_.data(),
                     static_cast<DWORD>(savedData_.size()));
    } else {
      RegDeleteValueA(desktop_, kUsePassword);
    }
    RegCloseKey(desktop_);
    if (passwordLibrary) FreeLibrary(passwordLibrary);
    passwordLibrary = nullptr;
    verifierEntry = nullptr;
    win9xFamily = 0;
    SetRunningState(false);
  }

  void SetUsePassword(DWORD value) {
    RegSetValueExA(desktop_, kUsePassword, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof value);
  }

 private:
  HKEY desktop_ = nullptr;
  bool hadValue_ = false;
  DWORD savedType_ = 0;
  std::vector<BYTE> savedData_;
};

TEST_F(PasswordServices, TheRunningStateIsSwitchedOnlyOnThe95And98Family) {
  struct Case {
    int32_t family;
    bool before;
    bool on;
    bool after;
  };
  const Case cases[] = {
      {1, false, true, true},  {1, true, false, false}, {1, true, true, true},
      {0, false, true, false}, {0, true, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << "family " << c.family << " before " << c.before << " on " << c.on);
    SetRunningState(c.before);
    win9xFamily = c.family;
    SetSaverRunning(c.on);
    EXPECT_EQ(ScreenSaverRunning(), c.after);
  }
}

TEST_F(PasswordServices, LoadingAgainFreesTheCheckerFirstAndSwitchesTheStateOff) {
  // Whatever the setting says now, the old library goes; with no checker in the system
  // directory nothing new is loaded.
  for (DWORD setting : {0u, 1u}) {
    SCOPED_TRACE(setting);
    PrivateLibrary library;
    win9xFamily = 1;
    SetUsePassword(setting);
    passwordLibrary = library.Load();
    ASSERT_NE(passwordLibrary, nullptr);
    verifierEntry = AcceptEverything;
    SetRunningState(true);

    LoadPasswordVerifier();
    EXPECT_FALSE(library.Loaded());
    EXPECT_EQ(passwordLibrary, nullptr);
    EXPECT_EQ(verifierEntry, nullptr);
    EXPECT_FALSE(ScreenSaverRunning());
  }
}

TEST_F(PasswordServices, ALibraryWithoutACheckerIsFreedWithoutTouchingTheState) {
  PrivateLibrary library;
  win9xFamily = 1;
  SetUsePassword(0);
  passwordLibrary = library.Load();
  SetRunningState(true);

  UnloadPasswordVerifier();
  EXPECT_FALSE(library.Loaded());
  EXPECT_EQ(passwordLibrary, nullptr);
  EXPECT_TRUE(ScreenSaverRunning());
}

TEST_F(PasswordServices, UnloadingWithNothingLoadedDoesNothing) {
  win9xFamily = 1;
  for (bool state : {true, false}) {
    SetRunningState(state);
    UnloadPasswordVerifier();
    EXPECT_EQ(ScreenSaverRunning(), state);
  }
}

TEST_F(PasswordServices, OutsideThe95And98FamilyNothingIsLoadedOrFreed) {
  PrivateLibrary library;
  win9xFamily = 0;
  SetUsePassword(1);
  passwordLibrary = library.Load();
  verifierEntry = AcceptEverything;
  SetRunningState(true);

  LoadPasswordVerifier();
  UnloadPasswordVerifier();
  EXPECT_TRUE(library.Loaded());
  EXPECT_EQ(verifierEntry, AcceptEverything);
  EXPECT_TRUE(ScreenSaverRunning());
}

TEST_F(PasswordServices, WithoutACheckerInTheSystemDirectoryNoPasswordIsAsked) {
  // The test prefix's system directory has no "PASSWORD.CPL".
  win9xFamily = 1;
  SetUsePassword(1);
  SetRunningState(false);
  LoadPasswordVerifier();
  EXPECT_EQ(passwordLibrary, nullptr);
  EXPECT_EQ(verifierEntry, nullptr);
  EXPECT_FALSE(ScreenSaverRunning());
}

TEST(SystemFilePath, NamesTheFileInTheSystemDirectoryWhenItFits) {
  const std::string expected = SystemDirectory() + "\\PASSWORD.CPL";
  struct Case {
    size_t capacity;
    bool fits;
  };
  const Case cases[] = {
      {MAX_PATH + 32, true},
      {expected.size() + 1, true},  // exactly: the text and its zero
      {expected.size(), false},
      {SystemDirectory().size() + 1, false},  // only the directory would fit
      {SystemDirectory().size(), false},      // not even the directory
      {1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.capacity);
    std::vector<char> path(c.capacity + 8, '#');
    EXPECT_EQ(SystemFilePath("PASSWORD.CPL", path.data(), c.capacity), c.fits);
    if (c.fits) {
      EXPECT_EQ(std::string(path.data()), expected);
    }
    for (size_t i = c.capacity; i < path.size(); ++i) ASSERT_EQ(path[i], '#') << "wrote at " << i;
  }
}

}  // namespace
