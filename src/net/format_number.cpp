#include "net/format_number.h"

#include <sstream>

std::string FormatNumber(double x) {
  std::ostringstream out;
  out << x;
  if (!out) return std::string();
  return out.str();
}
