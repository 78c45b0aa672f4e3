// Constructed minutiae prints for the matcher's tests and benchmark: seeded
// well-spread prints and their rigid copies and subsets.
#ifndef TESTS_MINUTIAE_XYT_PRINTS_H_
#define TESTS_MINUTIAE_XYT_PRINTS_H_

#include <cstdint>
#include <vector>

#include "minutiae/bozorth.h"

namespace minutiae_test {

// One minutia of a print: x, y (y up) and theta in degrees -179..180.
struct XytPoint {
  int x, y, theta;
};

// A record of the points (at most 200), rows ordered with bz_compare_x_y.
xyt_record MakeRecord(std::vector<XytPoint> points);

// The points of a record.
std::vector<XytPoint> Points(const xyt_record &record);

// `count` seeded points in a width x height field, at least `spacing` px
// apart, with random directions.
std::vector<XytPoint> SpreadPoints(uint64_t seed, int count, int width = 300,
                                   int height = 400, int spacing = 15);

// Every point moved by (dx, dy).
std::vector<XytPoint> Shifted(std::vector<XytPoint> points, int dx, int dy);

// Every point turned by a quarter turn counter-clockwise about the field's
// origin and moved back into positive coordinates (x' = height - y, y' = x),
// directions turned with it.
std::vector<XytPoint> QuarterTurned(std::vector<XytPoint> points, int height = 400);

// The first `count` points of a seeded shuffle.
std::vector<XytPoint> Subset(std::vector<XytPoint> points, int count, uint64_t seed);

// theta brought into -179..180.
int WrapDegrees(int theta);

}  // namespace minutiae_test

#endif  // TESTS_MINUTIAE_XYT_PRINTS_H_
