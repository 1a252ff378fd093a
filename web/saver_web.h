// The web page's animation: the saver's drawings, one at a time, paced by the page's
// animation frames instead of a thread that sleeps. The page (web/page.js) calls the
// functions below from its one thread; they own Settings, CurrentString, the drawing
// area and the page's pixels while the page runs. Built only by emscripten.
#pragma once

#include <cstdint>

extern "C" {

// Starts a new list of the page's settings.
void lumerin_clear_settings();
// Adds one setting of the URL query or a host's property, `name` and `value` as the
// Linux display mode's option --NAME VALUE (`hasValue` 0 for a query word without "=").
// Returns "" when it is taken, else the reason it is left out (the default stays).
const char* lumerin_take_setting(const char* name, const char* value, int hasValue);
// Draws afresh from the first-run settings with the settings taken, on a canvas of
// width x height device pixels at `pixelRatio` device pixels per CSS pixel (the lines grow
// with it), from page time `now` (milliseconds).
void lumerin_start(double now, int width, int height, double pixelRatio);

// Draws what is due by page time `now`. Returns a negative number when the next
// animation frame should call again, else the page time to call again at: the end of a
// pause, during which no frame is needed. A gap far longer than a frame since the last
// one, as when the host stopped the renderer, counts as a pause of the page.
double lumerin_frame(double now);
// A new canvas size or pixel ratio: the figure drawn so far is drawn again at once to fit.
void lumerin_resize(int width, int height, double pixelRatio);
// The page was hidden or paused by its host, or shown again: the time between is left out
// of the figure's pace.
void lumerin_suspend(double now);
void lumerin_resume(double now);

// The page draws at most `fps` frames a second (0: as many as the browser offers), as a
// host's frame-rate limit asks; the figure grows at its pace all the same.
void lumerin_set_frame_cap(double fps);
// Non-zero: the viewer asks for reduced motion, and each figure shows whole at once and
// stays for its pause. Both last until changed, across restarts.
void lumerin_set_reduced_motion(int reduced);

// The pixels (red, green, blue, alpha bytes) and what changed since the last call: four
// integers left, top, right, bottom, right and bottom excluded.
const uint32_t* lumerin_pixels();
int lumerin_width();
int lumerin_height();
const int32_t* lumerin_take_changed();

// For tests and the curious: what is being drawn, as one line of JSON.
const char* lumerin_status();
// The digests of `lumerin digest --size WxH` computed here; the animation starts afresh.
const char* lumerin_digests(int width, int height, double now);
}
