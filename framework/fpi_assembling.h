// Stitching the output of swipe sensors into one image: line assembly
// (single lines resampled by their estimated movement) and frame assembly
// (multi-row frames pasted at their estimated displacement). Both reach the
// driver's data only through its callbacks. Log component "assembling".
#ifndef FRAMEWORK_FPI_ASSEMBLING_H_
#define FRAMEWORK_FPI_ASSEMBLING_H_

#include <glib.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

struct fp_img;
struct fpi_assembly_frame;

// How a driver's lines are assembled. The line list is a GSList whose
// elements point at the driver's line records; the callbacks receive the
// list elements.
struct fpi_line_assembly_ctx {
  uint32_t line_width;          // pixels per line
  uint32_t max_height;          // most rows the result may have
  uint32_t resolution;          // rows produced for a movement of one line offset unit
  uint32_t median_filter_size;  // window of the offset median filter
  uint32_t max_search_offset;   // how many later lines are searched for the best match
  // Dissimilarity of two lines; smaller is closer.
  int (*get_deviation)(struct fpi_line_assembly_ctx *ctx, GSList *line1, GSList *line2);
  // Pixel x of a line.
  unsigned char (*get_pixel)(struct fpi_line_assembly_ctx *ctx, GSList *line, unsigned int x);
};

// How a driver's frames are assembled.
struct fpi_frame_assembly_ctx {
  uint32_t frame_width;   // pixels per frame row
  uint32_t frame_height;  // rows per frame
  uint32_t image_width;   // width of the assembled image (at least frame_width)
  // Pixel (x, y) of a frame.
  unsigned char (*get_pixel)(struct fpi_frame_assembly_ctx *ctx, struct fpi_assembly_frame *frame,
                             unsigned int x, unsigned int y);
};

// One frame of a frame list: its estimated displacement, then the driver's data.
struct fpi_assembly_frame {
  int delta_x;
  int delta_y;
  unsigned char data[];
};

// Assembles `num_lines` lines of `lines` into a new image of line_width
// pixels per row and at most max_height rows, flagged V_FLIPPED; NULL only
// when the image cannot be allocated. Movement: for every second line i, the
// offset j - i to the closest of the next max_search_offset lines (the first
// of equal candidates); a median filter over the offsets; then each line pair
// yields resolution / offset rows (float division), interpolated linearly
// between the two lines and truncated.
struct fp_img *fpi_assemble_lines(struct fpi_line_assembly_ctx *ctx, GSList *lines,
                                  size_t num_lines);

// Estimates the displacement of each frame from its neighbour by exhaustive
// search (dy 2 .. frame_height - 1, dx 8 down to -7), forward and reversed,
// and keeps the pass with the smaller mean error in the frames' deltas. A
// perfect overlap (error 0) counts as the worst match.
void fpi_do_movement_estimation(struct fpi_frame_assembly_ctx *ctx, GSList *frames,
                                size_t num_frames);

// Pastes the frames at their deltas into a new image of image_width pixels
// per row and frame_height + |sum of delta_y| rows; NULL only when the image
// cannot be allocated. No frames give a zeroed image of frame_height rows.
struct fp_img *fpi_assemble_frames(struct fpi_frame_assembly_ctx *ctx, GSList *frames,
                                   size_t num_frames);

#ifdef __cplusplus
}

#include <vector>

namespace fpi_assembling {

// An assembled image before it becomes an fp_img.
struct RawImage {
  int width = 0;
  int height = 0;
  uint16_t flags = 0;            // enum fp_img_flags
  std::vector<uint8_t> pixels;  // width * height, row-major
};

// The raw offsets of line assembly: num_lines / 2 values, j - i of the
// closest line after every second line i (0 when none was searched).
std::vector<int> LineOffsets(fpi_line_assembly_ctx *ctx, GSList *lines, size_t num_lines);

// The median filter of line assembly, in place: all values but the last are
// replaced by the median (element size / 2 of the sorted window) of their
// window of median_filter_size values, cut at the ends; the last stays raw.
void MedianFilterOffsets(std::vector<int> *offsets, uint32_t median_filter_size);

// Line assembly without the image record.
RawImage AssembleLines(fpi_line_assembly_ctx *ctx, GSList *lines, size_t num_lines);

// Frame assembly without the image record.
RawImage AssembleFrames(fpi_frame_assembly_ctx *ctx, GSList *frames, size_t num_frames);

}  // namespace fpi_assembling

#endif  // __cplusplus

#endif  // FRAMEWORK_FPI_ASSEMBLING_H_
