// The growth of a figure as an animated GIF (lumerin render --gif): the drawing pass of
// CurrentString recorded frame by frame at the saver's pace and written with giflib.
//
// Timing. Segment k of the figure is drawn at k x kSegmentPauseMs / speed, counted from the
// cleared background. GIF delays count hundredths of a second and players stretch any below
// 2, so frames start on whole hundredths: the first, at 0, is the cleared background; each
// frame shows every segment drawn by its start; the next one starts when the next segment is
// drawn, rounded up to the hundredth, but no sooner than 2 hundredths later. The finished
// figure lasts until the last segment's time, rounded up, plus the hold (and for at least 2
// hundredths). Every boundary is computed from exact time, so the total never drifts from
// segments x 5 ms / speed + hold by more than the rounding of the last segment's time.
//
// Pixels. The frames are drawn by the same surface as --png, so the last frame is that
// picture pixel for pixel. The palette holds the figure's colours exactly once each (the
// background first, then the pens'; a pen that has the background's colour, or another
// pen's, adds none), padded to the power of two GIF needs with the background again. Each
// frame stores the smallest rectangle that changed; a frame in which nothing changed is not
// stored and its time goes to the frame before.
#pragma once

#include <cstdint>
#include <string>

// speed = speedNumerator / speedDenominator, both > 0.
struct GrowthTiming {
  int64_t speedNumerator = 1;
  int64_t speedDenominator = 1;
  int holdTenths = 20;
};

struct GrowthPicture {
  int width = 0, height = 0;
  int lineWidth = 1;
  uint32_t background = 0;  // COLORREF
};

// The file being made: a temporary file beside the final name, renamed into place by Write
// once complete and removed if the object goes away before then.
class GrowthGif {
 public:
  GrowthGif() = default;
  ~GrowthGif();
  GrowthGif(const GrowthGif&) = delete;
  GrowthGif& operator=(const GrowthGif&) = delete;

  // Makes sure `path` can be written by creating the temporary file; false (with errno
  // set) when it cannot, or when `path` is a directory or a file that may not be written.
  bool Open(const std::string& path);
  // Draws CurrentString (both passes, with colors) into the file and renames it into
  // place. False when writing failed; nothing is left behind then.
  bool Write(const GrowthPicture& picture, const GrowthTiming& timing);

 private:
  std::string path_, temporary_;
  int fd_ = -1;
};
