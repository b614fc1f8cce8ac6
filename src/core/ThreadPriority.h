// Background work (search, range save) yields the processor to the user
// interface: on a machine busy with other work a search thread at normal
// priority can starve the window's repaints.
#pragma once

namespace qv {

// Gives the calling thread the lowest scheduling priority; a failure to do
// so is harmless and ignored.
void LowerCurrentThreadPriority();

}  // namespace qv
