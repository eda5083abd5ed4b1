#pragma once

#include <string_view>

// Orders two file or folder names (raw bytes) as the user reads them:
// decoded from the file-name encoding (UTF-8) and compared without regard
// to letter case. Returns -1, 0 or 1. Thread-safe.
[[nodiscard]] int CompareNamesNoCase(std::string_view first, std::string_view second);
