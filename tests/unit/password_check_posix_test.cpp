#include "host/password_check_posix.h"

#include <glob.h>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>
#include <poll.h>
#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "host/keyboard_posix.h"

namespace {

// A PAM folder of the test's own: the service "lumerin-test" checks against a password
// file through the test module of pam_wrapper, and "lumerin-hang" runs a module that
// never answers.
class PamFolder {
 public:
  PamFolder() {
    char pattern[] = "/tmp/lumerin-pam-XXXXXX";
    if (mkdtemp(pattern) != nullptr) dir_ = pattern;
    glob_t found = {};
    if (glob("/usr/lib/*/pam_wrapper/pam_matrix.so", 0, nullptr, &found) == 0 && found.gl_pathc > 0)
      matrix_ = found.gl_pathv[0];
    globfree(&found);
    const passwd* user = getpwuid(getuid());
    const std::string name = user != nullptr ? user->pw_name : "nobody";
    std::ofstream(dir_ + "/passdb") << name << ":p\xc3\xa4ss w0rd:lumerin-test\n";
    std::ofstream(dir_ + "/lumerin-test")
        << "auth required " << matrix_ << " passdb=" << dir_ << "/passdb\n";
    std::ofstream(dir_ + "/lumerin-hang") << "auth required pam_exec.so /bin/sleep 60\n";
    std::ofstream(dir_ + "/lumerin-broken") << "auth required /nonexistent/pam_nothing.so\n";
  }
  ~PamFolder() {
    for (const char* file : {"passdb", "lumerin-test", "lumerin-hang", "lumerin-broken"})
      unlink((dir_ + "/" + file).c_str());
    rmdir(dir_.c_str());
  }
  const char* Dir() const { return dir_.c_str(); }
  bool HasMatrix() const { return !matrix_.empty(); }

 private:
  std::string dir_;
  std::string matrix_;
};

CheckResult CheckAndWait(const char* service, const char* dir, const char* password) {
  SecretText secret;
  secret.Append(password, std::string(password).size());
  PasswordCheck check;
  if (!check.Start(service, dir, secret)) return CheckResult::kPending;
  pollfd fd = {check.Fd(), POLLIN, 0};
  poll(&fd, 1, 20000);
  return check.Collect();
}

TEST(PasswordCheck, OnlyTheUsersOwnPasswordIsAccepted) {
  PamFolder pam;
  ASSERT_TRUE(pam.HasMatrix()) << "pam_wrapper's pam_matrix.so (libpam-wrapper) is missing";
  struct Case {
    const char* service;
    const char* password;
    CheckResult expected;
  };
  const Case cases[] = {
      {"lumerin-test", "p\xc3\xa4ss w0rd", CheckResult::kAccepted},
      {"lumerin-test", "p\xc3\xa4ss w0r", CheckResult::kRefused},
      {"lumerin-test", "p\xc3\xa4ss w0rdd", CheckResult::kRefused},
      {"lumerin-test", "", CheckResult::kRefused},
      {"lumerin-none", "p\xc3\xa4ss w0rd", CheckResult::kRefused},    // no such service
      {"lumerin-broken", "p\xc3\xa4ss w0rd", CheckResult::kRefused},  // its module is missing
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.service << " '" << c.password << "'");
    EXPECT_EQ(CheckAndWait(c.service, pam.Dir(), c.password), c.expected);
  }
}

TEST(PasswordCheck, AHungModuleHoldsUpNothingAndLeavesTheSessionLocked) {
  PamFolder pam;
  SecretText secret;
  secret.Append("anything", 8);
  const auto start = std::chrono::steady_clock::now();
  {
    PasswordCheck check;
    ASSERT_TRUE(check.Start("lumerin-hang", pam.Dir(), secret));
    EXPECT_FALSE(check.Start("lumerin-hang", pam.Dir(), secret)) << "one check at a time";
    pollfd fd = {check.Fd(), POLLIN, 0};
    EXPECT_EQ(poll(&fd, 1, 300), 0);
    EXPECT_EQ(check.Collect(), CheckResult::kPending);
    EXPECT_TRUE(check.Running());
  }  // ends the child
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST(SecretText, TypingErasingAndHandingOverKeepWholeCharactersAndWipe) {
  SecretText typed;
  EXPECT_TRUE(typed.Append("a\xc3\xa4\xe2\x82\xac", 6));  // a, a umlaut, euro sign
  EXPECT_EQ(typed.Characters(), 3u);
  typed.EraseLastCharacter();
  EXPECT_STREQ(typed.Text(), "a\xc3\xa4");
  typed.EraseLastCharacter();
  typed.EraseLastCharacter();
  typed.EraseLastCharacter();  // nothing left to erase
  EXPECT_EQ(typed.Bytes(), 0u);

  typed.Append("next try", 8);
  SecretText checked;
  checked.Append("old", 3);
  checked.TakeFrom(typed);
  EXPECT_STREQ(checked.Text(), "next try");
  EXPECT_EQ(typed.Bytes(), 0u);
  EXPECT_STREQ(typed.Text(), "");

  const std::string full(SecretText::kCapacity, 'x');
  EXPECT_FALSE(checked.Append(full.data(), full.size())) << "past the capacity";
  EXPECT_STREQ(checked.Text(), "next try");
  checked.Clear();
  EXPECT_TRUE(checked.Append(full.data(), full.size()));
  EXPECT_FALSE(checked.Append("y", 1));
}

// Keys as a user types them on a German keyboard, through the keymap to the password.
TEST(PasswordEntry, KeysTypeTheKeymapsTextAndEditIt) {
  Keyboard keyboard;
  ASSERT_TRUE(keyboard.UseLayout("de")) << "xkb-data's layouts are missing";
  constexpr uint32_t kShift = 1, kControl = 4;
  struct Step {
    uint32_t modifiers;
    uint32_t key;
    EntryAction action;
    const char* typed;  // the text afterwards
  };
  const Step steps[] = {
      {0, KEY_Y, EntryAction::kTyped, "z"},  // the German layout swaps Y and Z
      {kShift, KEY_Y, EntryAction::kTyped, "zZ"},
      {0, KEY_SEMICOLON, EntryAction::kTyped, "zZ\xc3\xb6"},  // o umlaut
      {0, KEY_BACKSPACE, EntryAction::kErased, "zZ"},
      {0, KEY_TAB, EntryAction::kNone, "zZ"},
      {kControl, KEY_A, EntryAction::kNone, "zZ"},
      {0, KEY_LEFTSHIFT, EntryAction::kNone, "zZ"},
      {kControl, KEY_U, EntryAction::kCleared, ""},
      {0, KEY_1, EntryAction::kTyped, "1"},
      {0, KEY_ESC, EntryAction::kCleared, ""},
      {0, KEY_2, EntryAction::kTyped, "2"},
      {0, KEY_ENTER, EntryAction::kSubmit, "2"},
      {0, KEY_KPENTER, EntryAction::kSubmit, "2"},
  };
  SecretText typed;
  for (const Step& step : steps) {
    SCOPED_TRACE(testing::Message() << "key " << step.key << " modifiers " << step.modifiers);
    keyboard.SetModifiers(step.modifiers, 0, 0, 0);
    const KeyPress press = keyboard.Press(step.key);
    EXPECT_EQ(ApplyKey(press.keysym, press.text, press.control, typed), step.action);
    EXPECT_STREQ(typed.Text(), step.typed);
  }
  EXPECT_FALSE(keyboard.UseKeymapText("not a keymap", 12));
  EXPECT_TRUE(keyboard.Ready()) << "a bad keymap keeps the one before";
}

}  // namespace
