#pragma once

// oneTBB passes work to its workers and back through synchronisation that a race detector cannot
// see: the library is not instrumented, and neither are our two files that instantiate its
// templates (see CMakeLists.txt). Where the detector runs, the two orderings that loops and job
// groups promise are declared instead: what the caller did before handing work over happens before
// the work runs (HandOver, then TakeOver as the work starts), and the work happens before the wait
// for it returns (HandOver as the work ends, then TakeOver after the wait). One token per direction
// leaves the pieces of work unordered among themselves, so a race between two of them is still
// reported. In every other build both functions are empty.

#if defined(ZEMOX_DECLARE_HANDOFFS)
#include <sanitizer/tsan_interface.h>
#endif

namespace zemox {

#if defined(ZEMOX_DECLARE_HANDOFFS)
inline void HandOver(const void* token) { __tsan_release(const_cast<void*>(token)); }
inline void TakeOver(const void* token) { __tsan_acquire(const_cast<void*>(token)); }
#else
inline void HandOver(const void*) {}
inline void TakeOver(const void*) {}
#endif

}  // namespace zemox
