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

// The option words of the lines after line 2, one a line, in any order; an
// empty line is no option. "any" lets records from every address in, for
// routers that rewrite the peer's address. "no upnp" keeps the module from
// asking the home router to open its ports (UPnP), for pilots who forward
// them by hand. "close follow" eases the following aircraft toward where the
// flying one is now rather than where it was (simlink/close_follow.h).
// "plain protocol" turns the extension off: no hello, so the peer gets the
// protocol and nothing more, as from a module without it. A file of today's
// line 3 "any" and line 4 "no upnp" reads as before.
inline constexpr const char* kAnySourceWord = "any";
inline constexpr const char* kNoRouterWord = "no upnp";
inline constexpr const char* kCloseFollowWord = "close follow";
inline constexpr const char* kPlainProtocolWord = "plain protocol";

// Lines 1 and 2 and the option lines after them, whole (a byte-order mark
// and CRs dropped); a line the file lacks is nothing.
struct ConfigLines {
  std::optional<std::string> peerAddress;  // line 1
  std::optional<std::string> basePort;     // line 2
  std::vector<std::string> options;        // lines 3 on, as written

  // An option line reads exactly `word`.
  bool HasOption(std::string_view word) const;
  // The option kAnySourceWord.
  bool AnySource() const { return HasOption(kAnySourceWord); }
  // Not the option kNoRouterWord.
  bool RouterMapping() const { return !HasOption(kNoRouterWord); }
  // The option kCloseFollowWord.
  bool CloseFollow() const { return HasOption(kCloseFollowWord); }
  // Not the option kPlainProtocolWord.
  bool Extension() const { return !HasOption(kPlainProtocolWord); }
};

ConfigLines ReadConfigLines(std::istream& in);

// One log line for each mistake: line 1 neither a plain dotted IPv4 address
// (a leading zero named as such) nor a host name, line 2 not a port number
// from 1 to 65534, a missing line, an option line that is neither empty nor
// one of the option words (named with the words that exist).
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
