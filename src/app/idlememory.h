#pragma once
// Memory the till hands back while it waits for the next customer (the heap through
// handBackFreeHeap, the font pages here).
//
// Over a day the till draws a few hundred different Chinese characters. Each one it draws
// for the first time maps a run of pages of the CJK font files (the kernel maps the pages
// around the one asked for), and once drawn a glyph lives in the glyph cache, so those pages
// are rarely read again; yet they stay counted in the till's resident memory, about 15 MB
// after a day. The heap, too, keeps pages that the commit of a slip freed. After each slip
// the till drops both: the font pages go back to the system's file cache (shared, and read
// in again on demand), the free heap pages back to the system.

namespace vorel {

// Safe to call at any time from the GUI thread; does nothing where the calls do not exist.
void handBackIdleMemory();

} // namespace vorel
