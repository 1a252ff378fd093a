// The lock screen's prompt: a small panel drawn with cairo over the figures, in a buffer
// of its own, that shows a dot for each character typed, "verifying" while the password
// is checked and a clear sign after a refusal.
#pragma once

#include <cstddef>
#include <cstdint>

enum class PromptState { kTyping, kVerifying, kRefused };

struct PromptLook {
  PromptState state = PromptState::kTyping;
  size_t characters = 0;  // dots to show
};

// The panel's size in surface units; its buffer is that times the output's scale.
constexpr int kPromptWidth = 360;
constexpr int kPromptHeight = 72;

// Draws the panel into `pixels` (premultiplied ARGB8888 words, `width` x `height`, rows of
// `width` words), at `scale` buffer pixels per surface unit.
void DrawPrompt(uint32_t* pixels, int width, int height, double scale, const PromptLook& look);
