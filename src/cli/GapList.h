// The gaps of a stored capture as info and stats list them: where the
// instrument overflowed and the records of the line were lost.
#pragma once

#include <cstdio>

namespace qv {
class CaptureReader;
}

namespace qv::cli {

// "Gaps (the instrument overflowed): N, S s" and one line per gap; nothing
// for a capture without one. Moves the reader.
void PrintCaptureGaps(CaptureReader& file, std::FILE* out = stdout);

}  // namespace qv::cli
