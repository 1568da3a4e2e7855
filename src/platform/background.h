#pragma once

// Threads that work behind the window.
namespace quorbit::platform {

// Lowers the calling thread's priority below the window's, so that on a busy
// machine the window's thread gets the processor first and stays
// responsive while the calling thread lists, sorts or frees. Nothing else
// changes when the system does not allow it.
void yieldToWindow();

} // namespace quorbit::platform
