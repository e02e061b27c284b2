// Numbers in log lines, as a default-formatted output stream writes them.
#pragma once

#include <string>

// Six significant digits, general notation: 1 -> "1", 0.5 -> "0.5",
// 1234567 -> "1.23457e+06". An empty string if the stream fails.
std::string FormatNumber(double x);
