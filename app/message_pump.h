// Lets the window handle its pending events while a conversion runs on the
// window's own thread. A conversion asks after every frame, thousands of
// times a second, and one look at the event queue costs more than decoding a
// frame: so the pump looks only when an interval has passed since its last
// look, often enough for the window to repaint and answer clicks smoothly.
#ifndef ONDAVO_APP_MESSAGE_PUMP_H_
#define ONDAVO_APP_MESSAGE_PUMP_H_

#include <chrono>

// Dispatches every pending event of the program, and returns once none is left.
void DispatchPendingEvents();

class MessagePump {
 public:
  using Clock = std::chrono::steady_clock;
  using DispatchFn = void (*)();
  using NowFn = Clock::time_point (*)();

  // 20 ms: 50 looks a second at most.
  static constexpr Clock::duration kInterval = std::chrono::milliseconds(20);

  explicit MessagePump(DispatchFn dispatch = DispatchPendingEvents, NowFn now = Clock::now)
      : dispatch_(dispatch), now_(now) {}

  // The next Pump dispatches whatever is waiting, so that a new run shows at once.
  void Restart() { next_ = Clock::time_point(); }

  void Pump() {
    if (now_() < next_) return;
    dispatch_();
    // Counted from the end: a dialog opened from the dispatch may have held
    // the conversion for a while.
    next_ = now_() + kInterval;
  }

 private:
  DispatchFn dispatch_;
  NowFn now_;
  Clock::time_point next_;
};

#endif  // ONDAVO_APP_MESSAGE_PUMP_H_
