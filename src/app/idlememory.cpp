#include "app/idlememory.h"

#include <QByteArray>
#include <QFile>

#include "core/heapslack.h"

#if defined(Q_OS_LINUX)
#include <sys/mman.h>
#endif

namespace vorel {

namespace {

#if defined(Q_OS_LINUX)
// The till's read-only mappings of font files (FreeType maps a font file whole). Dropping
// their pages is safe: the mapping is private and never written, so a page read again comes
// from the file as it was.
void dropFontPages()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        // "start-end perms offset dev inode path"
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 6 || !fields[1].startsWith("r--") || !fields[5].contains("/fonts/"))
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        bool okStart = false;
        bool okEnd = false;
        const quintptr start = range.value(0).toULongLong(&okStart, 16);
        const quintptr end = range.value(1).toULongLong(&okEnd, 16);
        if (okStart && okEnd && end > start)
            madvise(reinterpret_cast<void *>(start), end - start, MADV_DONTNEED);
    }
}
#endif

} // namespace

void handBackIdleMemory()
{
#if defined(Q_OS_LINUX)
    dropFontPages();
#endif
    handBackFreeHeap();
}

} // namespace vorel
