#include "host/password_check_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <security/pam_appl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kPageBytes = SecretText::kCapacity + 1;
constexpr char kAccepted = 'A';
constexpr char kRefused = 'R';

bool ContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// PAM's questions, each answered with the password: "Password:" is asked with the echo
// off; a module that asks anything with the echo on gets the same answer, as none of the
// common modules does that for a password check. Messages are only shown to nobody.
int Converse(int count, const pam_message** messages, pam_response** responses, void* data) {
  if (count <= 0 || count > PAM_MAX_NUM_MSG) return PAM_CONV_ERR;
  auto* answers = static_cast<pam_response*>(std::calloc(count, sizeof(pam_response)));
  if (answers == nullptr) return PAM_BUF_ERR;
  for (int i = 0; i < count; ++i) {
    const int style = messages[i]->msg_style;
    if (style != PAM_PROMPT_ECHO_OFF && style != PAM_PROMPT_ECHO_ON) continue;
    answers[i].resp = strdup(static_cast<const char*>(data));
    if (answers[i].resp == nullptr) {
      for (int j = 0; j < i; ++j) {
        if (answers[j].resp != nullptr) {
          explicit_bzero(answers[j].resp, std::strlen(answers[j].resp));
          std::free(answers[j].resp);
        }
      }
      std::free(answers);
      return PAM_BUF_ERR;
    }
  }
  *responses = answers;
  return PAM_SUCCESS;
}

// The child's whole work: whether `password` is the password of the user running the
// program.
bool Authenticate(const char* service, const char* configDir, const char* password) {
  passwd entry;
  passwd* found = nullptr;
  std::vector<char> strings(16384);
  if (getpwuid_r(getuid(), &entry, strings.data(), strings.size(), &found) != 0 || found == nullptr)
    return false;
  const pam_conv conversation = {Converse, const_cast<char*>(password)};
  pam_handle_t* handle = nullptr;
  const int started =
      configDir != nullptr
          ? pam_start_confdir(service, found->pw_name, &conversation, configDir, &handle)
          : pam_start(service, found->pw_name, &conversation, &handle);
  if (started != PAM_SUCCESS) return false;
  const int result = pam_authenticate(handle, 0);
  pam_end(handle, result);
  return result == PAM_SUCCESS;
}

}  // namespace

SecretText::SecretText() {
  void* page =
      mmap(nullptr, kPageBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (page == MAP_FAILED) return;
  page_ = static_cast<char*>(page);
  locked_ = mlock(page_, kPageBytes) == 0;
  madvise(page_, kPageBytes, MADV_DONTDUMP);
  page_[0] = '\0';
}

SecretText::~SecretText() {
  if (page_ == nullptr) return;
  explicit_bzero(page_, kPageBytes);
  if (locked_) munlock(page_, kPageBytes);
  munmap(page_, kPageBytes);
}

bool SecretText::Append(const char* utf8, size_t length) {
  if (page_ == nullptr || length > kCapacity - length_) return false;
  std::memcpy(page_ + length_, utf8, length);
  length_ += length;
  page_[length_] = '\0';
  return true;
}

void SecretText::EraseLastCharacter() {
  if (length_ == 0) return;
  size_t end = length_ - 1;
  while (end > 0 && ContinuationByte(page_[end])) --end;
  explicit_bzero(page_ + end, length_ - end);
  length_ = end;
}

void SecretText::Clear() {
  if (page_ != nullptr) explicit_bzero(page_, kPageBytes);
  length_ = 0;
}

void SecretText::TakeFrom(SecretText& other) {
  Clear();
  if (page_ != nullptr && other.length_ > 0) Append(other.page_, other.length_);
  other.Clear();
}

size_t SecretText::Characters() const {
  size_t count = 0;
  for (size_t i = 0; i < length_; ++i) count += ContinuationByte(page_[i]) ? 0 : 1;
  return count;
}

PasswordCheck::~PasswordCheck() {
  if (child_ > 0) {
    kill(child_, SIGKILL);
    while (waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  if (resultFd_ >= 0) close(resultFd_);
}

bool PasswordCheck::Start(const char* service, const char* configDir, const SecretText& secret) {
  if (child_ > 0) return false;
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  const pid_t parent = getpid();
  const pid_t child = fork();
  if (child < 0) {
    close(pipeFds[0]);
    close(pipeFds[1]);
    return false;
  }
  if (child == 0) {
    // The child: the parent's stop signals are not its own, it dies with the parent, it
    // leaves no core with the password in it, and the helpers PAM runs inherit nothing.
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
    signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
    prctl(PR_SET_DUMPABLE, 0);
    const rlimit noCore = {0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    close(pipeFds[0]);
    const char answer = Authenticate(service, configDir, secret.Text()) ? kAccepted : kRefused;
    ssize_t written;
    do {
      written = write(pipeFds[1], &answer, 1);
    } while (written < 0 && errno == EINTR);
    _exit(0);
  }
  close(pipeFds[1]);
  fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
  child_ = child;
  resultFd_ = pipeFds[0];
  return true;
}

CheckResult PasswordCheck::Collect() {
  if (child_ <= 0) return CheckResult::kRefused;
  char answer = 0;
  ssize_t got;
  do {
    got = read(resultFd_, &answer, 1);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return CheckResult::kPending;
  // One byte, or the end of the pipe when the child died without one: the child is done.
  // A child that wrote its byte exits at once; one that closed the pipe is ending.
  if (got < 0) kill(child_, SIGKILL);
  while (waitpid(child_, nullptr, 0) < 0 && errno == EINTR) {
  }
  close(resultFd_);
  resultFd_ = -1;
  child_ = -1;
  return got == 1 && answer == kAccepted ? CheckResult::kAccepted : CheckResult::kRefused;
}

EntryAction ApplyKey(unsigned keysym, const char* text, bool control, SecretText& typed) {
  switch (keysym) {
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter:
    case XKB_KEY_ISO_Enter:
      return EntryAction::kSubmit;
    case XKB_KEY_BackSpace:
      typed.EraseLastCharacter();
      return EntryAction::kErased;
    case XKB_KEY_Escape:
      typed.Clear();
      return EntryAction::kCleared;
    default:
      break;
  }
  if (control) {
    if (keysym == XKB_KEY_u || keysym == XKB_KEY_U) {
      typed.Clear();
      return EntryAction::kCleared;
    }
    return EntryAction::kNone;
  }
  const size_t length = std::strlen(text);
  // Text of control characters (Tab, Delete) is no part of a password.
  if (length == 0 || static_cast<unsigned char>(text[0]) < 0x20 || text[0] == 0x7f)
    return EntryAction::kNone;
  typed.Append(text, length);
  return EntryAction::kTyped;
}
