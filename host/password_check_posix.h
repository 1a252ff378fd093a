// The lock screen's password: the text typed, held in memory that is locked and wiped, and
// its check through PAM in a child process, so that a slow or hung module never holds up
// the drawing and a crash of the check unlocks nothing.
#pragma once

#include <sys/types.h>

#include <cstddef>

// Typed text in one page of its own that is locked into memory (never written to swap),
// left out of core dumps, and wiped whenever text leaves it. Holds UTF-8.
class SecretText {
 public:
  static constexpr size_t kCapacity = 1023;  // bytes of text; a longer entry is refused

  SecretText();
  ~SecretText();
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;

  // Adds `length` bytes of UTF-8; false, and nothing added, when they do not fit or no
  // page could be had.
  bool Append(const char* utf8, size_t length);
  // Takes back the last character (all the bytes of a multi-byte one).
  void EraseLastCharacter();
  // Wipes the text.
  void Clear();
  // Takes `other`'s text in place of its own and wipes `other`.
  void TakeFrom(SecretText& other);

  size_t Bytes() const { return length_; }
  // The characters typed, as the prompt shows them: one dot each.
  size_t Characters() const;
  // The text, zero-terminated.
  const char* Text() const { return page_ != nullptr ? page_ : ""; }
  // Whether the page is locked into memory (the limit of locked memory may refuse it).
  bool Locked() const { return locked_; }

 private:
  char* page_ = nullptr;
  size_t length_ = 0;
  bool locked_ = false;
};

enum class CheckResult {
  kPending,   // the check still runs
  kAccepted,  // the password is the user's
  kRefused,   // a wrong password, or the check failed in any way
};

// One check of a password at a time, in a child process that talks to PAM and reports one
// byte through a pipe. The caller polls Fd() and then calls Collect().
class PasswordCheck {
 public:
  PasswordCheck() = default;
  ~PasswordCheck();  // ends and reaps a child that still runs
  PasswordCheck(const PasswordCheck&) = delete;
  PasswordCheck& operator=(const PasswordCheck&) = delete;

  // Starts checking `secret` as the password of the user who runs the program, with the
  // PAM service `service` (its file read from `configDir` when given, else from PAM's own
  // folders). The secret must stay unchanged until the result is collected. False, with
  // nothing started, when a check already runs or no child could be made.
  bool Start(const char* service, const char* configDir, const SecretText& secret);
  bool Running() const { return child_ > 0; }
  // Readable when the result is in (or the child died); -1 when no check runs.
  int Fd() const { return resultFd_; }
  // The result; reaps the child once it is in. kPending while it still runs.
  CheckResult Collect();

 private:
  pid_t child_ = -1;
  int resultFd_ = -1;
};

// What one key press does to the password being typed.
enum class EntryAction {
  kNone,     // nothing: a key with no text, or a control chord
  kTyped,    // its text was added (or refused, past the capacity)
  kErased,   // Backspace took one character back
  kCleared,  // Escape or Ctrl+U cleared the text
  kSubmit,   // Return or Enter: check the text
};

// Applies a key, given as its keysym (xkbcommon's numbers), the text it types (UTF-8,
// possibly empty) and whether Control is held, to `typed`.
EntryAction ApplyKey(unsigned keysym, const char* text, bool control, SecretText& typed);
