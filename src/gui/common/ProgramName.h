// The name files written by the desktop application give as their writer.
#pragma once

#include <string>

namespace qv {

inline std::string WritingProgram() {
    return std::string("qv-ort ") + QVORT_VERSION;
}

}  // namespace qv
