#pragma once

// A value no code under test writes: output buffers are filled with it first, so a test sees
// which entries a call wrote and which it left alone.
inline constexpr double kUnwritten = -777.0;
