// Key codes to keysyms and text through xkbcommon, with the keymap the compositor sends
// and the modifiers it reports: what the lock screen's password prompt reads.
#pragma once

#include <cstddef>
#include <cstdint>

struct xkb_context;
struct xkb_keymap;
struct xkb_state;

// One key: a part of a password, so its holder wipes it (explicit_bzero) once used.
struct KeyPress {
  unsigned keysym = 0;  // xkbcommon's number; 0 for none
  char text[16] = {};   // UTF-8, zero-terminated; empty for a key that types nothing
  bool control = false;
};

class Keyboard {
 public:
  Keyboard();
  ~Keyboard();
  Keyboard(const Keyboard&) = delete;
  Keyboard& operator=(const Keyboard&) = delete;

  // A keymap in xkbcommon's text form (as wl_keyboard.keymap hands it over); false, with
  // the previous keymap kept, when it cannot be read.
  bool UseKeymapText(const char* text, size_t length);
  // A keymap by layout name, as an X11 desktop sets one ("us", "de").
  bool UseLayout(const char* layout);
  bool Ready() const { return state_ != nullptr; }
  // The modifiers as the compositor reports them.
  void SetModifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group);
  // A key as the compositor numbers it (evdev codes, 8 below xkbcommon's); the caller keeps
  // the modifiers current. Nothing (keysym 0) before a keymap.
  KeyPress Press(uint32_t evdevCode) const;

 private:
  bool Use(xkb_keymap* keymap);
  xkb_context* context_ = nullptr;
  xkb_keymap* keymap_ = nullptr;
  xkb_state* state_ = nullptr;
};
