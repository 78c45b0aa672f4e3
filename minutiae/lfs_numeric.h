// Numeric conventions of the minutiae detector: rounding, snapping doubles
// to multiples of 1/16384, distances and directions.
#ifndef MINUTIAE_LFS_NUMERIC_H_
#define MINUTIAE_LFS_NUMERIC_H_

#ifdef __cplusplus
extern "C" {
#endif

// v rounded to the nearest integer, halves away from zero.
int nearest_int(double v);

// v brought to the nearest multiple of 1/16384, halves away from zero.
double snap14(double v);

// Euclidean distance of (x1, y1) and (x2, y2).
double distance(int x1, int y1, int x2, int y2);

// Squared Euclidean distance of (x1, y1) and (x2, y2).
double squared_distance(int x1, int y1, int x2, int y2);

// Angle in radians of the line from (fx, fy) to (tx, ty), with the y axis
// pointing up; 0 for coincident points.
double angle_to_line(int fx, int fy, int tx, int ty);

// Direction 0..2n-1 from (fx, fy) towards (tx, ty): 0 up (decreasing y),
// growing clockwise as displayed, n directions per half turn.
int line_to_direction(int fx, int fy, int tx, int ty, int n);

// Circular distance of directions a and b out of n; -1 when either is
// negative.
int direction_gap(int a, int b, int n);

#ifdef __cplusplus
}
#endif

#endif  // MINUTIAE_LFS_NUMERIC_H_
