// The desktop application's name and version: what --version prints and
// what the files it writes give as their writer.
#pragma once

#include <string>

namespace qv {

inline std::string WritingProgram() {
    return std::string("qv-ort ") + QVORT_VERSION;
}

}  // namespace qv
