// Elementary functions built only from IEEE-exact operations (+, -, *, /,
// sqrt, rounding), so that every machine and every C library computes the
// same bits. The platform's sin/cos/exp may differ in the last place between
// library versions and CPU-specific variants; the generator must not.
#pragma once

namespace fingers {

inline constexpr double kPi = 3.14159265358979323846;

// Sine of x (radians); absolute error below 1e-13 for |x| < 1e6.
double DetSin(double x);
// Cosine of x (radians); absolute error below 1e-13 for |x| < 1e6.
double DetCos(double x);
// Angle of the vector (x, y) in (-pi, pi]; 0 for (0, 0).
double DetAtan2(double y, double x);
// e to the power x; relative error below 1e-14, 0 below -700.
double DetExp(double x);

// Smooth step from 0 at edge0 to 1 at edge1 (Hermite cubic), clamped.
double SmoothStep(double edge0, double edge1, double x);

}  // namespace fingers
