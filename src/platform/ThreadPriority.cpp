#include "ThreadPriority.h"

#include <QThread>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace platform {

void yieldThreadToOthers() {
#if defined(Q_OS_LINUX)
    // Linux keeps a nice value per thread; Qt's LowPriority leaves it alone.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
#else
    QThread::currentThread()->setPriority(QThread::LowestPriority);
#endif
}

} // namespace platform
