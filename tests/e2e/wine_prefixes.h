// How a Windows program runs from Linux under Wine, one prefix per side: the
// Wine program, what it runs under (nothing for the host's wine64, the
// emulated 32-bit root's launcher otherwise), and where the prefixes lie.
// The end-to-end tests and the benchmark suite both run the Windows builds
// this way.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct WinePrefixes {
  std::vector<std::string> launcher;  // what Wine runs under; empty for the host itself
  std::string wine;                   // the wine program, as the launcher sees it
  std::string root;                   // the two sides' prefixes
  std::string arch;                   // WINEARCH of a new prefix

  std::string Prefix(int side) const;
  // A Wine program of side's prefix with its arguments, as run from Linux.
  std::vector<std::string> Command(int side, const std::vector<std::string>& argv) const;
  // Ends every Wine program of side's prefix, so that the next run's
  // wineserver starts inside the network namespace that run is in.
  void StopServer(int side) const;
  // Makes the prefixes that are missing (both at once: a fresh one takes
  // Wine a minute) and points each side's Windows documents folder at
  // documents[side]; empty, or what failed.
  std::string Prepare(const std::string documents[2]) const;
};

// The i386 Wine of the emulated 32-bit Windows that `envScript`
// (scripts/win32-env.sh) runs, which sees each of the host's folders `binds`
// at its own path; the prefixes lie in `root`.
WinePrefixes EmulatedWin32(const std::string& envScript, const std::vector<std::string>& binds,
                           const std::string& root);

// A Linux path as a Windows program under Wine names it (Wine's Z: drive).
std::string WindowsPath(const std::string& path);

}  // namespace e2e
