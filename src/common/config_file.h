// The grammar of SharedConfig.cfg and what a pilot can get wrong in it, kept
// apart from the module's state so that the module and the checker read the
// file the same way.
#pragma once

#include <cstdint>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The word of the optional line 3 that lets records from every address in,
// for routers that rewrite the peer's address.
inline constexpr const char* kAnySourceWord = "any";
// The words of the optional line 4 that keep the module from asking the home
// router to open its ports (UPnP), for pilots who forward them by hand.
inline constexpr const char* kNoRouterWord = "no upnp";

// The first four lines, whole (a byte-order mark and CRs dropped); a line
// the file lacks is nothing.
struct ConfigLines {
  std::optional<std::string> peerAddress;  // line 1
  std::optional<std::string> basePort;     // line 2
  std::optional<std::string> sourceRule;   // line 3, optional
  std::optional<std::string> routerRule;   // line 4, optional

  // Line 3 reads exactly kAnySourceWord.
  bool AnySource() const { return sourceRule && *sourceRule == kAnySourceWord; }
  // Line 4 does not read exactly kNoRouterWord.
  bool RouterMapping() const { return !(routerRule && *routerRule == kNoRouterWord); }
};

ConfigLines ReadConfigLines(std::istream& in);

// One log line for each mistake: line 1 neither a plain dotted IPv4 address
// (a leading zero named as such) nor a host name, line 2 not a port number
// from 1 to 65534, a missing line, a line 3 that is neither empty nor
// kAnySourceWord, a line 4 that is neither empty nor kNoRouterWord.
std::vector<std::string> ConfigProblems(const ConfigLines& lines);

// Line 1 as the module takes it: four decimal numbers from 0 to 255 joined by
// dots, nothing else (no blanks, no leading zeros, which some programs read as
// octal); the address in network order, or nothing. Every use of the peer's
// address goes through this one reading.
std::optional<std::uint32_t> ParsePeerAddress(std::string_view text);
// A host name line 1 may hold instead of an address (a dynamic-DNS name):
// letters, digits and hyphens in dot-separated labels of 1 to 63 characters,
// 253 at most in all, the last label starting with a letter. Numeric forms
// such as "0x7f.1" or "1.2.3" are no names: resolvers would read them as
// addresses ParsePeerAddress refuses.
bool IsHostName(std::string_view text);
// Line 2 as the module takes it: decimal digits only, from 1 to 65534 (P + 1
// must still be a port); or nothing.
std::optional<int> ParseBasePort(std::string_view text);
// P as the module uses it: ParseBasePort's number, 0 for refused text.
int PortNumberOf(const std::string& text);
// The datagram channel's UDP port, P + 1.
std::uint16_t DatagramPortOf(int basePort);
// The UDP port the reliable channel uses on the wire: P in 16 bits with its
// two bytes swapped, because the module stores P unconverted in the address.
std::uint16_t ReliableWirePortOf(int basePort);
