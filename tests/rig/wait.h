// Waiting on evidence that another process leaves behind (a file, a child
// gone, a window shown) when it cannot be read as a stream.
#pragma once

#include <chrono>
#include <functional>

namespace rig {

// Checks the condition, then again every `poll`, until it holds or the
// timeout has passed; it is checked once more after the last pause. The
// timeout is a generous limit for a noisy machine, never a measure of speed.
// True when the condition held.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
               std::chrono::milliseconds poll = std::chrono::milliseconds(20));

}  // namespace rig
