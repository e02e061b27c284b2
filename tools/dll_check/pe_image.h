// A read-only view of a 32-bit Windows PE image file (PE32): its headers, its
// sections, and the exports and imports of a DLL. Values are read from the
// file as they lie there; addresses are translated through the section table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pe {

inline constexpr std::uint16_t kMachineI386 = 0x14C;
inline constexpr std::uint16_t kMagicPe32 = 0x10B;
inline constexpr std::uint16_t kCharacteristicDll = 0x2000;
inline constexpr std::uint32_t kSectionCode = 0x20;
inline constexpr std::uint32_t kSectionExecute = 0x20000000;
inline constexpr std::uint32_t kSectionWrite = 0x80000000;

struct Section {
  std::string name;
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
  std::uint32_t characteristics = 0;
};

struct Export {
  std::string name;
  std::uint32_t rva = 0;
};

struct Import {
  std::string dll;
  // Function names; an import by ordinal reads "#<ordinal>".
  std::vector<std::string> functions;
};

class Image {
 public:
  // Reads the headers and the section table; on failure `error` says why.
  static std::optional<Image> Parse(std::vector<std::uint8_t> bytes, std::string* error);

  std::uint16_t machine() const { return machine_; }
  std::uint16_t characteristics() const { return characteristics_; }
  std::uint16_t optionalMagic() const { return optionalMagic_; }
  std::uint32_t imageBase() const { return imageBase_; }
  const std::vector<Section>& sections() const { return sections_; }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

  // The section holding `rva`, or null.
  const Section* SectionAt(std::uint32_t rva) const;
  // File offset of `rva`, or nothing when it has no bytes in the file.
  std::optional<std::size_t> FileOffset(std::uint32_t rva) const;
  // The image address `va` as an address relative to the image base.
  std::optional<std::uint32_t> VaToRva(std::uint32_t va) const;
  // A 32-bit little-endian word; zero-filled section tails read as 0.
  std::optional<std::uint32_t> ReadWord(std::uint32_t rva) const;
  // A zero-terminated string of at most `limit` characters.
  std::optional<std::string> ReadString(std::uint32_t rva, std::size_t limit = 512) const;
  // True when `rva` lies in an executable code section.
  bool IsCode(std::uint32_t rva) const;
  // True when the `size` bytes from `rva` lie in one writable section.
  bool IsWritable(std::uint32_t rva, std::uint32_t size) const;

  // The export and import tables; nothing when a table is malformed.
  std::optional<std::vector<Export>> Exports(std::string* error) const;
  std::optional<std::vector<Import>> Imports(std::string* error) const;

 private:
  std::optional<std::uint32_t> DirectoryRva(std::size_t index, std::uint32_t* size) const;

  std::vector<std::uint8_t> bytes_;
  std::uint16_t machine_ = 0;
  std::uint16_t characteristics_ = 0;
  std::uint16_t optionalMagic_ = 0;
  std::uint32_t imageBase_ = 0;
  std::uint32_t directoryCount_ = 0;
  std::size_t directoriesOffset_ = 0;
  std::vector<Section> sections_;
};

}  // namespace pe
