// Adds a content finding ("content-..." codes) to a decoder's list.
#pragma once

#include "Structure.h"

#include <string>
#include <string_view>
#include <vector>

namespace vexlin::content {

inline void Report(std::vector<Finding>& findings, std::uint32_t offset, Severity level,
                   std::string_view code, std::string message) {
    findings.push_back({offset, level, code, std::move(message)});
}

} // namespace vexlin::content
