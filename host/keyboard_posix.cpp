#include "host/keyboard_posix.h"

#include <xkbcommon/xkbcommon.h>

Keyboard::Keyboard() : context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)) {}

Keyboard::~Keyboard() {
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  xkb_context_unref(context_);
}

bool Keyboard::Use(xkb_keymap* keymap) {
  if (keymap == nullptr) return false;
  xkb_state* state = xkb_state_new(keymap);
  if (state == nullptr) {
    xkb_keymap_unref(keymap);
    return false;
  }
  xkb_state_unref(state_);
  xkb_keymap_unref(keymap_);
  keymap_ = keymap;
  state_ = state;
  return true;
}

bool Keyboard::UseKeymapText(const char* text, size_t length) {
  if (context_ == nullptr || text == nullptr) return false;
  // The compositor's text may end in a zero byte, which the reader does not take.
  while (length > 0 && text[length - 1] == '\0') --length;
  return Use(xkb_keymap_new_from_buffer(context_, text, length, XKB_KEYMAP_FORMAT_TEXT_V1,
                                        XKB_KEYMAP_COMPILE_NO_FLAGS));
}

bool Keyboard::UseLayout(const char* layout) {
  if (context_ == nullptr) return false;
  xkb_rule_names names = {};
  names.layout = layout;
  return Use(xkb_keymap_new_from_names(context_, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
}

void Keyboard::SetModifiers(uint32_t depressed, uint32_t latched, uint32_t locked, uint32_t group) {
  if (state_ != nullptr) xkb_state_update_mask(state_, depressed, latched, locked, 0, 0, group);
}

KeyPress Keyboard::Press(uint32_t evdevCode) const {
  KeyPress press;
  if (state_ == nullptr) return press;
  const xkb_keycode_t code = evdevCode + 8;
  press.keysym = xkb_state_key_get_one_sym(state_, code);
  // Text too long for the holder (no single key types that much) counts as none.
  const int length = xkb_state_key_get_utf8(state_, code, press.text, sizeof press.text);
  if (length < 0 || static_cast<size_t>(length) >= sizeof press.text) press.text[0] = '\0';
  press.control =
      xkb_state_mod_name_is_active(state_, XKB_MOD_NAME_CTRL, XKB_STATE_MODS_EFFECTIVE) > 0;
  return press;
}
