#include "host/saver_host_win.h"

#include <imm.h>

#include "host/closing_rules.h"
#include "host/password_win.h"
#include "host/startup_win.h"
#include "host/verify_quiet.h"
#include "saver/saver_window_win.h"

HWND saverWindow = nullptr;
int32_t previewMode = 0;

namespace {

constexpr int kIconId = 100;
constexpr UINT kClassStyle = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS | CS_OWNDC;
constexpr DWORD kFullScreenStyle = WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
constexpr DWORD kPreviewStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN;
constexpr int32_t kNoWindowExitCode = -1;

// The longest wait for a preview's parent to take a help request.
constexpr UINT kForwardTimeoutMs = 1000;
// WM_POWER's wParam when the system resumes after a critical suspension.
constexpr WPARAM kPowerCriticalResume = 3;

using ImmAssociateContextProc = HIMC(WINAPI*)(HWND, HIMC);

// Host state, on the main thread only.
BOOL closeConfirmed = FALSE;
BOOL verifyInProgress = FALSE;
DWORD lastVerifyTick = kNeverVerified;
POINT mouseReference = {0, 0};
UINT autoPlayQueryMessage = 0;  // 0 never matches a registered message
HIMC previousInputContext = nullptr;
ImmAssociateContextProc immAssociateContext = nullptr;

void PostClose(HWND window) { PostMessageA(window, WM_CLOSE, 0, 0); }

// Takes the input-method context away from the window, so that no input-method editor
// swallows the keystroke that should close the saver. IMM32 is used only when the
// process has it already; the host never loads it.
void DetachInputContext(HWND window) {
  const HMODULE imm = GetModuleHandleA("IMM32.DLL");
  if (imm == nullptr) return;
  const FARPROC proc = GetProcAddress(imm, "ImmAssociateContext");
  if (proc == nullptr) return;
  immAssociateContext =
      reinterpret_cast<ImmAssociateContextProc>(reinterpret_cast<void (*)()>(proc));
  previousInputContext = immAssociateContext(window, nullptr);
}

void RestoreInputContext(HWND window) {
  if (immAssociateContext != nullptr && previousInputContext != nullptr) {
    immAssociateContext(window, previousInputContext);
  }
}

// Passes a help request on to the window the preview lives in, as a request about that
// window. WM_HELP carries a pointer to its HELPINFO, which the system refuses to post:
// it is handed over at once instead, while the pointer is valid, with a time limit so
// that a parent that does not answer cannot hang the preview.
void ForwardToParent(HWND parent, UINT message, LPARAM lParam) {
  const WPARAM self = reinterpret_cast<WPARAM>(parent);
  if (PostMessageA(parent, message, self, lParam)) return;
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(parent, message, self, lParam, SMTO_ABORTIFHUNG, kForwardTimeoutMs, &ignored);
}

// The closing rules for input, activation and power messages; full screen only, and
// never while a password is being asked for or after a close was accepted.
void ApplyInputRules(HWND window, UINT message, WPARAM wParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      if (wParam != 0) SetCursor(nullptr);
      break;
    case WM_ACTIVATEAPP:
      if (wParam == 0) PostClose(window);  // another application is being activated
      break;
    case WM_POWER:
      if (wParam == kPowerCriticalResume) PostClose(window);
      break;
    case WM_POWERBROADCAST:
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      PostClose(window);
      break;
    case WM_MOUSEMOVE: {
      // The cursor, not the message's coordinates, and always against the same
      // reference: small movements add up until they pass the limit.
      POINT cursor;
      if (!GetCursorPos(&cursor)) break;
      if (PointerMovedTooFar(cursor.x, cursor.y, mouseReference.x, mouseReference.y)) {
        PostClose(window);
        mouseReference = cursor;
      }
      break;
    }
    default:
      break;
  }
}

}  // namespace

RECT FullScreenArea() {
  RECT area = {0, 0, 0, 0};
  const HDC screen = GetDC(nullptr);
  if (screen == nullptr) return area;
  GetClipBox(screen, &area);
  ReleaseDC(nullptr, screen);
  return area;
}

BOOL ConfirmClose(HWND window) {
  if (verifyInProgress || closeConfirmed) return FALSE;
  if (verifierEntry == nullptr) {
    closeConfirmed = TRUE;
    return TRUE;
  }
  if (WithinVerifyQuietTime(GetTickCount(), lastVerifyTick)) return FALSE;

  verifyInProgress = TRUE;
  // Timers that fired while the saver ran would otherwise be handled inside the
  // password box's own message loop.
  MSG pending;
  for (int i = 0; i < 2; ++i) {
    PeekMessageA(&pending, window, WM_TIMER, WM_TIMER, PM_REMOVE | PM_NOYIELD);
  }
  closeConfirmed = SendMessageA(window, kVerifyPasswordMessage, 0, 0) != 0;
  verifyInProgress = FALSE;
  if (!closeConfirmed) SetCursor(nullptr);
  lastVerifyTick = GetTickCount();
  return closeConfirmed;
}

LRESULT HostDefaultProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!previewMode && !closeConfirmed) {
    if (message == WM_CLOSE) {
      if (win9xFamily && !ConfirmClose(window)) {
        GetCursorPos(&mouseReference);
        return 0;
      }
    } else if (message == kVerifyPasswordMessage) {
      if (win9xFamily) return verifierEntry == nullptr ? 1 : verifierEntry(window);
    } else if (!verifyInProgress) {
      if (message == WM_SETCURSOR) {
        SetCursor(nullptr);
        return 1;
      }
      ApplyInputRules(window, message, wParam);
    }
  }

  if (autoPlayQueryMessage != 0 && message == autoPlayQueryMessage) {
    PostClose(window);
    return verifierEntry != nullptr ? 1 : 0;  // 1 cancels the AutoPlay
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK HostClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      // The drawing thread starts inside the program's creation handling, before
      // CreateWindowExA returns: the handle must be known by then.
      saverWindow = window;
      DetachInputContext(window);
      GetCursorPos(&mouseReference);
      if (!previewMode) SetCursor(nullptr);
      break;
    case WM_DESTROY:
      RestoreInputContext(window);
      PostQuitMessage(0);
      break;
    case WM_SETTEXT:
      return 0;  // the title never changes: it is how a running saver is found
    case WM_PAINT:
      if (closeConfirmed) return DefWindowProcA(window, message, wParam, lParam);
      if (!previewMode) SetCursor(nullptr);
      break;
    case WM_HELP:
    case WM_CONTEXTMENU:
      if (previewMode) {
        // Help on the preview is help on the control panel page that shows it.
        const HWND parent = GetParent(window);
        if (parent != nullptr && IsWindow(parent)) ForwardToParent(parent, message, lParam);
        return 1;
      }
      break;
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (closeConfirmed) return DefWindowProcA(window, message, wParam, lParam);
      break;
    case WM_SYSCOMMAND:
      if (!previewMode &&
          (wParam == SC_NEXTWINDOW || wParam == SC_PREVWINDOW || wParam == SC_SCREENSAVE)) {
        return 0;
      }
      break;
    case WM_TIMER:
      if (closeConfirmed) return 0;
      Sleep(0);
      break;
    default:
      break;
  }
  return SaverWindowProc(window, message, wParam, lParam);
}

int32_t RunSaverWindow(HWND parent) {
  WNDCLASSA windowClass;
  ZeroMemory(&windowClass, sizeof windowClass);
  windowClass.style = kClassStyle;
  windowClass.lpfnWndProc = HostClassProc;
  windowClass.hInstance = moduleInstance;
  windowClass.hIcon = LoadIconA(moduleInstance, MAKEINTRESOURCEA(kIconId));
  windowClass.hCursor = nullptr;
  windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  windowClass.lpszClassName = kSaverClassName;

  RECT area = {0, 0, 0, 0};
  DWORD style, extendedStyle;
  const char* title;
  if (parent != nullptr) {
    GetClientRect(parent, &area);
    area.left = area.top = 0;
    style = kPreviewStyle;
    extendedStyle = 0;
    title = kPreviewTitle;
    previewMode = 1;
  } else {
    area = FullScreenArea();
    style = kFullScreenStyle;
    extendedStyle = WS_EX_TOPMOST;
    title = kFullScreenTitle;
    const HWND running = FindWindowA(kSaverClassName, kFullScreenTitle);
    if (running != nullptr && IsWindow(running)) {
      SetForegroundWindow(running);
      return 0;
    }
    LoadPasswordVerifier();
  }
  autoPlayQueryMessage = win9xFamily ? RegisterWindowMessageA("QueryCancelAutoPlay") : 0;

  int32_t exitCode = kNoWindowExitCode;
  if (RegisterClassA(&windowClass)) {
    saverWindow = CreateWindowExA(extendedStyle, kSaverClassName, title, style, area.left, area.top,
                                  area.right - area.left, area.bottom - area.top, parent, nullptr,
                                  moduleInstance, nullptr);
    if (saverWindow != nullptr) {
      if (!previewMode) SetForegroundWindow(saverWindow);
      MSG message;
      BOOL got;
      while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
      }
      if (got == 0) exitCode = static_cast<int32_t>(message.wParam);
    }
  }
  UnloadPasswordVerifier();
  return exitCode;
}
