// Drives the configuration dialog and the About box of a running Lumerin from outside,
// as a user's actions reach them, and prints what the dialogs show. Each argument group
// is one step, run in order:
//   find CAPTION              wait (up to 10 s; patience.h) for a visible top-level
//                             window; it becomes the window the next steps act on
//   state                     one JSON line: texts, lists, track bars, check box and the
//                             enabled state of every control, in template order
//   select ID INDEX           pick item INDEX of list ID (CB_SETCURSEL + CBN_SELCHANGE)
//   slide ID POS CODE         move track bar ID to POS, then its scroll message with CODE
//   press ID                  click control ID and wait until the dialog has handled it
//   click ID                  post a click to control ID and go on at once (for buttons
//                             that open a modal window)
//   key ID VK                 post a key press to control ID
//   close                     post the close box's command to the window
//   gone CAPTION              wait (up to 10 s; patience.h) until no such window is visible
//   rect ID                   one line: screen rectangle of control ID (0: the window)
//   owner CAPTION             one line: whether CAPTION's owner is the current window
//                             and whether the current window is disabled
// Exits 0 when every step worked, 1 at the first that did not (with a message).
// clang-format off
#include <windows.h>  // before every other Windows header
// clang-format on

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "patience.h"

namespace {

HWND current = nullptr;

HWND FindVisible(const char* caption, DWORD timeoutMs) {
  timeoutMs = Patience(timeoutMs);
  for (DWORD waited = 0;; waited += 50) {
    HWND window = FindWindowA(nullptr, caption);
    if (window != nullptr && IsWindowVisible(window)) return window;
    if (waited >= timeoutMs) return nullptr;
    Sleep(50);
  }
}

std::string Json(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string Text(HWND window) {
  char text[512] = {};
  SendMessageA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

std::string ListState(HWND list) {
  const int count = static_cast<int>(SendMessageA(list, CB_GETCOUNT, 0, 0));
  std::string items = "[";
  for (int i = 0; i < count; ++i) {
    // Asked for in UTF-16: Wine hands the list's own UTF-16 text to an ANSI caller in
    // another process unconverted.
    wchar_t wide[256] = {};
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
    char text[256] = {};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    items += (i ? "," : "") + Json(text);
  }
  items += "]";
  const int selection = static_cast<int>(SendMessageA(list, CB_GETCURSEL, 0, 0));
  return "{\"selection\":" + std::to_string(selection) + ",\"items\":" + items + "}";
}

void PrintState() {
  std::string controls = "[";
  std::string lists, tracks, texts;
  bool first = true;
  for (HWND child = GetWindow(current, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    const int id = GetDlgCtrlID(child);
    char kind[64] = {};
    GetClassNameA(child, kind, sizeof kind);
    controls += std::string(first ? "" : ",") + "{\"id\":" + std::to_string(id) +
                ",\"kind\":" + Json(kind) +
                ",\"enabled\":" + (IsWindowEnabled(child) ? "true" : "false") +
                ",\"text\":" + Json(Text(child)) + "}";
    first = false;
    if (lstrcmpiA(kind, "ComboBox") == 0) {
      lists += (lists.empty() ? "" : ",") + Json(std::to_string(id)) + ":" + ListState(child);
    } else if (lstrcmpiA(kind, TRACKBAR_CLASSA) == 0) {
      tracks += (tracks.empty() ? "" : ",") + Json(std::to_string(id)) + ":" +
                std::to_string(SendMessageA(child, TBM_GETPOS, 0, 0));
    }
  }
  controls += "]";
  const UINT checked = IsDlgButtonChecked(current, 102);
  std::printf("{\"caption\":%s,\"controls\":%s,\"lists\":{%s},\"tracks\":{%s},\"slideshow\":%u}\n",
              Json(Text(current)).c_str(), controls.c_str(), lists.c_str(), tracks.c_str(),
              checked);
}

bool Step(int argc, char** argv, int* i) {
  const std::string verb = argv[(*i)++];
  auto next = [&]() -> const char* { return *i < argc ? argv[(*i)++] : ""; };
  if (verb == "find") {
    const char* caption = next();
    current = FindVisible(caption, 10000);
    if (!current) std::fprintf(stderr, "no window \"%s\"\n", caption);
    return current != nullptr;
  }
  if (!current) {
    std::fprintf(stderr, "%s before find\n", verb.c_str());
    return false;
  }
  if (verb == "state") {
    PrintState();
  } else if (verb == "select") {
    const int id = std::atoi(next());
    const int index = std::atoi(next());
    HWND list = GetDlgItem(current, id);
    SendMessageA(list, CB_SETCURSEL, index, 0);
    SendMessageA(current, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
  } else if (verb == "slide") {
    const int id = std::atoi(next());
    const int position = std::atoi(next());
    const int code = std::atoi(next());
    HWND track = GetDlgItem(current, id);
    SendMessageA(track, TBM_SETPOS, TRUE, position);
    const bool vertical = (GetWindowLongA(track, GWL_STYLE) & TBS_VERT) != 0;
    SendMessageA(current, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, position),
                 reinterpret_cast<LPARAM>(track));
  } else if (verb == "press") {
    SendMessageA(GetDlgItem(current, std::atoi(next())), BM_CLICK, 0, 0);
  } else if (verb == "click") {
    PostMessageA(GetDlgItem(current, std::atoi(next())), BM_CLICK, 0, 0);
  } else if (verb == "key") {
    HWND control = GetDlgItem(current, std::atoi(next()));
    const WPARAM key = static_cast<WPARAM>(std::atoi(next()));
    PostMessageA(control, WM_KEYDOWN, key, 1);
    PostMessageA(control, WM_KEYUP, key, 0xC0000001);
  } else if (verb == "close") {
    PostMessageA(current, WM_SYSCOMMAND, SC_CLOSE, 0);
  } else if (verb == "gone") {
    const char* caption = next();
    for (DWORD waited = 0; FindVisible(caption, 0) != nullptr; waited += 50) {
      if (waited >= Patience(10000)) {
        std::fprintf(stderr, "\"%s\" still there\n", caption);
        return false;
      }
      Sleep(50);
    }
  } else if (verb == "rect") {
    const int id = std::atoi(next());
    RECT rect;
    GetWindowRect(id ? GetDlgItem(current, id) : current, &rect);
    std::printf("rect %d %ld %ld %ld %ld\n", id, rect.left, rect.top, rect.right, rect.bottom);
  } else if (verb == "owner") {
    HWND other = FindVisible(next(), 10000);
    std::printf("owner %d disabled %d\n", other && GetWindow(other, GW_OWNER) == current ? 1 : 0,
                IsWindowEnabled(current) ? 0 : 1);
  } else {
    std::fprintf(stderr, "unknown step %s\n", verb.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc;) {
    if (!Step(argc, argv, &i)) return 1;
    std::fflush(stdout);
  }
  return 0;
}
