#pragma once

#include <chrono>
#include <functional>
#include <ostream>
#include <string>

// Tells the user where a long run is. On a terminal, a phase that has run for more than a second
// gets a bar that redraws in place; otherwise (a pipe, a log file) every phase gets one plain
// line when it starts and one when it ends, so logs stay readable. Owns nothing but its state;
// the stream and clock are the caller's. Used by one thread at a time; RunPhase runs its work
// on a thread of its own and keeps drawing on the caller's.
class ProgressReporter {
 public:
  using Clock = std::function<double()>;  // seconds from any fixed origin

  ProgressReporter(std::ostream& out, bool terminal, Clock clock);
  // Standard error, as a terminal when it is one, with the steady clock.
  static ProgressReporter ForStandardError();

  void Begin(const std::string& phase);
  // fraction of the phase done, 0 to 1.
  void Update(double fraction);
  // Ends the phase and returns its duration in seconds.
  double End();
  // Runs work, which tells nothing of its progress, as the whole phase. On a terminal the bar
  // then shows that work goes on and for how long, not a fraction. Exceptions of work reach
  // the caller.
  void RunPhase(const std::string& phase, const std::function<void()>& work);

 private:
  void DrawBar(double fraction);
  void DrawBusy(double seconds);

  std::ostream& out_;
  bool terminal_;
  Clock clock_;
  std::string phase_;
  double started_ = 0.0;
  double lastDrawn_ = -1.0;
  bool barShown_ = false;
};
