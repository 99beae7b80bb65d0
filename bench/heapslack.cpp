// Linked into every benchmark: the heap set up as both programs set it first thing in main(),
// before any benchmark runs (a benchmark program's main() belongs to Google Benchmark).

#include "core/heapslack.h"

namespace {

const bool heapSet = (vorel::keepHeapSlack(), true);

} // namespace
