#include "wayland/lock_prompt_wayland.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace {

// More dots than fit are shown as the panel's width allows; the count stays secret
// beyond it anyway.
constexpr size_t kMostDots = 20;

void RoundedRectangle(cairo_t* cr, double x, double y, double w, double h, double r) {
  cairo_new_sub_path(cr);
  cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
  cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
  cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
  cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
  cairo_close_path(cr);
}

void CentredText(cairo_t* cr, const char* text, double size, double centreY) {
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
  cairo_set_font_size(cr, size);
  cairo_text_extents_t extents;
  cairo_text_extents(cr, text, &extents);
  cairo_move_to(cr, kPromptWidth / 2.0 - extents.width / 2 - extents.x_bearing,
                centreY - extents.height / 2 - extents.y_bearing);
  cairo_show_text(cr, text);
}

}  // namespace

void DrawPrompt(uint32_t* pixels, int width, int height, double scale, const PromptLook& look) {
  cairo_surface_t* surface = cairo_image_surface_create_for_data(
      reinterpret_cast<unsigned char*>(pixels), CAIRO_FORMAT_ARGB32, width, height, width * 4);
  cairo_t* cr = cairo_create(surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_rgba(cr, 0, 0, 0, 0);
  cairo_paint(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_scale(cr, scale, scale);

  const bool refused = look.state == PromptState::kRefused;
  RoundedRectangle(cr, 2, 2, kPromptWidth - 4, kPromptHeight - 4, 14);
  cairo_set_source_rgba(cr, 0.05, 0.05, 0.08, 0.82);
  cairo_fill_preserve(cr);
  cairo_set_line_width(cr, 3);
  if (refused) {
    cairo_set_source_rgb(cr, 0.9, 0.15, 0.15);
  } else if (look.state == PromptState::kVerifying) {
    cairo_set_source_rgb(cr, 0.95, 0.75, 0.2);
  } else {
    cairo_set_source_rgb(cr, 0.75, 0.75, 0.8);
  }
  cairo_stroke(cr);

  if (look.state == PromptState::kVerifying) {
    cairo_set_source_rgb(cr, 0.95, 0.85, 0.5);
    CentredText(cr, "verifying\xe2\x80\xa6", 22, kPromptHeight / 2.0);
  } else if (refused && look.characters == 0) {
    cairo_set_source_rgb(cr, 1, 0.4, 0.4);
    CentredText(cr, "\xe2\x9c\x97 wrong password", 22, kPromptHeight / 2.0);
  } else if (look.characters == 0) {
    cairo_set_source_rgb(cr, 0.8, 0.8, 0.85);
    CentredText(cr, "password", 20, kPromptHeight / 2.0);
  } else {
    const size_t dots = std::min(look.characters, kMostDots);
    const double step = 15;
    const double first = kPromptWidth / 2.0 - step * (static_cast<double>(dots) - 1) / 2;
    cairo_set_source_rgb(cr, refused ? 1 : 0.95, refused ? 0.5 : 0.95, refused ? 0.5 : 0.95);
    for (size_t i = 0; i < dots; ++i) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, first + step * static_cast<double>(i), kPromptHeight / 2.0, 5, 0, 2 * M_PI);
    }
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  cairo_surface_destroy(surface);
}
