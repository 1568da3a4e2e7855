#include "platform/background.h"

#include <sys/resource.h>
#include <unistd.h>

namespace quorbit::platform {

void yieldToWindow()
{
    // On Linux a nice value set for a thread id is that thread's own.
    constexpr int backgroundNice = 10;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), backgroundNice);
}

} // namespace quorbit::platform
