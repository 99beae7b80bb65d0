#include "core/heapslack.h"

#include <QtGlobal>

#if defined(Q_OS_LINUX) && defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vorel {

void keepHeapSlack()
{
#if defined(Q_OS_LINUX) && defined(__GLIBC__)
    constexpr int Slack = 1024 * 1024;
    mallopt(M_TRIM_THRESHOLD, Slack);
    // Setting the threshold above stops glibc from raising the size at which a block gets
    // a mapping of its own; blocks up to the same size stay in the heap, as they would have.
    mallopt(M_MMAP_THRESHOLD, Slack);
#endif
}

void handBackFreeHeap()
{
#if defined(Q_OS_LINUX) && defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace vorel
