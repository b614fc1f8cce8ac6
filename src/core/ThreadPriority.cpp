#include "core/ThreadPriority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace qv {

void LowerCurrentThreadPriority() {
    // On Linux a nice value belongs to a thread when set through its id.
    constexpr int kLowestNice = 19;
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kLowestNice);
}

}  // namespace qv
