#include "ProgressReporter.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <future>
#include <iomanip>
#include <iostream>

namespace {

constexpr double kQuietSeconds = 1.0;
constexpr double kRedrawSeconds = 0.1;
constexpr int kBarWidth = 30;
// Phase times to the millisecond: a phase of a tenth of a second is then read to 1%.
constexpr int kSecondsDecimals = 3;

}  // namespace

ProgressReporter::ProgressReporter(std::ostream& out, bool terminal, Clock clock)
    : out_(out), terminal_(terminal), clock_(std::move(clock)) {}

ProgressReporter ProgressReporter::ForStandardError() {
  return ProgressReporter(std::cerr, ::isatty(STDERR_FILENO) != 0, [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
  });
}

void ProgressReporter::Begin(const std::string& phase) {
  phase_ = phase;
  started_ = clock_();
  lastDrawn_ = -1.0;
  barShown_ = false;
  if (!terminal_) out_ << phase_ << " ..." << std::endl;
}

void ProgressReporter::Update(double fraction) {
  if (!terminal_) return;
  const double now = clock_();
  if (now - started_ < kQuietSeconds || now - lastDrawn_ < kRedrawSeconds) return;
  lastDrawn_ = now;
  DrawBar(fraction);
}

void ProgressReporter::DrawBar(double fraction) {
  const double done = std::clamp(fraction, 0.0, 1.0);
  const int filled = static_cast<int>(std::lround(done * kBarWidth));
  out_ << '\r' << phase_ << " [" << std::string(static_cast<std::size_t>(filled), '#')
       << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] " << std::setw(3)
       << static_cast<int>(std::lround(done * 100)) << "%" << std::flush;
  barShown_ = true;
}

// A block of a fifth of the bar runs back and forth, one sweep a second.
void ProgressReporter::DrawBusy(double seconds) {
  constexpr int kBlock = kBarWidth / 5;
  const double phase = std::fmod(seconds, 2.0);
  const int start = static_cast<int>((phase < 1.0 ? phase : 2.0 - phase) * (kBarWidth - kBlock));
  out_ << '\r' << phase_ << " [" << std::string(static_cast<std::size_t>(start), ' ')
       << std::string(static_cast<std::size_t>(kBlock), '#')
       << std::string(static_cast<std::size_t>(kBarWidth - kBlock - start), ' ') << "] "
       << std::fixed << std::setprecision(1) << seconds << " s" << std::defaultfloat << std::flush;
  barShown_ = true;
}

void ProgressReporter::RunPhase(const std::string& phase, const std::function<void()>& work) {
  Begin(phase);
  if (!terminal_) {
    work();
    End();
    return;
  }
  std::future<void> running = std::async(std::launch::async, work);
  while (running.wait_for(std::chrono::duration<double>(kRedrawSeconds)) !=
         std::future_status::ready) {
    const double seconds = clock_() - started_;
    if (seconds >= kQuietSeconds) DrawBusy(seconds);
  }
  try {
    running.get();
  } catch (...) {
    if (barShown_) out_ << "\r\033[K" << std::flush;
    throw;
  }
  End();
}

double ProgressReporter::End() {
  const double seconds = clock_() - started_;
  if (terminal_ && barShown_) out_ << "\r\033[K";
  if (!terminal_ || seconds >= kQuietSeconds)
    out_ << phase_ << " done in " << std::fixed << std::setprecision(kSecondsDecimals) << seconds
         << " s" << std::defaultfloat << std::endl;
  return seconds;
}
