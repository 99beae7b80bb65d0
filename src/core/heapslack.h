#pragma once
// How much free memory the C library's heap keeps instead of handing it back at once.
//
// glibc gives the top of its heap back to the system as soon as 128 KB of it is free. A slip
// commit frees a few hundred KB when it ends (SQLite's statement and sort buffers), so every
// commit grew the heap again and faulted each page of it in anew; in a virtual machine that
// cost more than the commit's own work (a slip ran in 2.3 times the time). Both programs call
// this first thing in main(). Memory still goes back: the till hands it back itself while it
// waits for the next customer, the service after a large request.

namespace vorel {

void keepHeapSlack();

// Hands the heap's free pages back to the system now, in every thread's arena: what the till
// does while it waits for the next customer, the service after a large request.
void handBackFreeHeap();

} // namespace vorel
