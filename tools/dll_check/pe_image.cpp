#include "pe_image.h"

#include <algorithm>
#include <utility>

namespace pe {

namespace {

constexpr std::size_t kDirectoryExport = 0;
constexpr std::size_t kDirectoryImport = 1;
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::size_t kImportDescriptorSize = 20;
// Bounds that no sane module reaches; they keep a corrupt file from making
// the walks below run for long.
constexpr std::uint32_t kMaxExports = 4096;
constexpr std::size_t kMaxImportDlls = 256;
constexpr std::size_t kMaxImportsPerDll = 65536;

std::optional<std::uint16_t> Read16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 2) return std::nullopt;
  return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::optional<std::uint32_t> Read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  if (at > bytes.size() || bytes.size() - at < 4) return std::nullopt;
  return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
         static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

}  // namespace

std::optional<Image> Image::Parse(std::vector<std::uint8_t> bytes, std::string* error) {
  Image image;
  image.bytes_ = std::move(bytes);
  const auto& b = image.bytes_;
  if (b.size() < 0x40 || b[0] != 'M' || b[1] != 'Z') {
    *error = "not an MZ executable";
    return std::nullopt;
  }
  const std::size_t pe = *Read32(b, 0x3C);
  const auto signature = Read32(b, pe);
  if (!signature || *signature != 0x00004550) {
    *error = "no PE signature";
    return std::nullopt;
  }
  const std::size_t coff = pe + 4;
  const auto machine = Read16(b, coff);
  const auto sectionCount = Read16(b, coff + 2);
  const auto optionalSize = Read16(b, coff + 16);
  const auto characteristics = Read16(b, coff + 18);
  const std::size_t optional = coff + 20;
  const auto magic = Read16(b, optional);
  if (!machine || !sectionCount || !optionalSize || !characteristics || !magic) {
    *error = "truncated file header";
    return std::nullopt;
  }
  image.machine_ = *machine;
  image.characteristics_ = *characteristics;
  image.optionalMagic_ = *magic;
  if (*magic != kMagicPe32) {
    *error = "optional header is not PE32";
    return std::nullopt;
  }
  const auto imageBase = Read32(b, optional + 28);
  const auto directoryCount = Read32(b, optional + 92);
  if (!imageBase || !directoryCount || *optionalSize < 96) {
    *error = "truncated optional header";
    return std::nullopt;
  }
  image.imageBase_ = *imageBase;
  image.directoryCount_ = std::min<std::uint32_t>(*directoryCount, (*optionalSize - 96) / 8);
  image.directoriesOffset_ = optional + 96;

  const std::size_t table = optional + *optionalSize;
  for (std::size_t i = 0; i < *sectionCount; ++i) {
    const std::size_t at = table + i * kSectionHeaderSize;
    if (at > b.size() || b.size() - at < kSectionHeaderSize) {
      *error = "truncated section table";
      return std::nullopt;
    }
    Section section;
    const auto* name = reinterpret_cast<const char*>(&b[at]);
    section.name.assign(name, std::find(name, name + 8, '\0'));
    section.virtualSize = *Read32(b, at + 8);
    section.virtualAddress = *Read32(b, at + 12);
    section.rawSize = *Read32(b, at + 16);
    section.rawOffset = *Read32(b, at + 20);
    section.characteristics = *Read32(b, at + 36);
    if (section.rawOffset > b.size() || b.size() - section.rawOffset < section.rawSize) {
      *error = "section " + section.name + " runs past the end of the file";
      return std::nullopt;
    }
    image.sections_.push_back(section);
  }
  return image;
}

const Section* Image::SectionAt(std::uint32_t rva) const {
  for (const Section& s : sections_) {
    const std::uint32_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < span) return &s;
  }
  return nullptr;
}

std::optional<std::size_t> Image::FileOffset(std::uint32_t rva) const {
  const Section* s = SectionAt(rva);
  if (s == nullptr || rva - s->virtualAddress >= s->rawSize) return std::nullopt;
  return static_cast<std::size_t>(s->rawOffset) + (rva - s->virtualAddress);
}

std::optional<std::uint32_t> Image::VaToRva(std::uint32_t va) const {
  if (va < imageBase_) return std::nullopt;
  return va - imageBase_;
}

std::optional<std::uint32_t> Image::ReadWord(std::uint32_t rva) const {
  const Section* s = SectionAt(rva);
  if (s == nullptr || s->virtualAddress + std::max(s->virtualSize, s->rawSize) - rva < 4) {
    return std::nullopt;
  }
  std::uint32_t word = 0;
  for (std::uint32_t i = 0; i < 4; ++i) {
    // Bytes past a section's file data are zero once the image is loaded.
    if (const auto at = FileOffset(rva + i))
      word |= static_cast<std::uint32_t>(bytes_[*at]) << 8 * i;
  }
  return word;
}

std::optional<std::string> Image::ReadString(std::uint32_t rva, std::size_t limit) const {
  std::string text;
  for (std::size_t i = 0; i <= limit; ++i) {
    const auto at = FileOffset(rva + static_cast<std::uint32_t>(i));
    if (!at) return std::nullopt;
    if (bytes_[*at] == 0) return text;
    text += static_cast<char>(bytes_[*at]);
  }
  return std::nullopt;
}

bool Image::IsCode(std::uint32_t rva) const {
  const Section* s = SectionAt(rva);
  return s != nullptr && (s->characteristics & kSectionCode) != 0 &&
         (s->characteristics & kSectionExecute) != 0;
}

bool Image::IsWritable(std::uint32_t rva, std::uint32_t size) const {
  const Section* s = SectionAt(rva);
  return s != nullptr && size > 0 && SectionAt(rva + size - 1) == s &&
         (s->characteristics & kSectionWrite) != 0;
}

std::optional<std::uint32_t> Image::DirectoryRva(std::size_t index, std::uint32_t* size) const {
  if (index >= directoryCount_) return std::nullopt;
  const auto rva = Read32(bytes_, directoriesOffset_ + index * 8);
  const auto length = Read32(bytes_, directoriesOffset_ + index * 8 + 4);
  if (!rva || !length || *rva == 0) return std::nullopt;
  *size = *length;
  return rva;
}

std::optional<std::vector<Export>> Image::Exports(std::string* error) const {
  std::uint32_t size = 0;
  const auto directory = DirectoryRva(kDirectoryExport, &size);
  if (!directory) return std::vector<Export>{};
  const auto functionCount = ReadWord(*directory + 20);
  const auto nameCount = ReadWord(*directory + 24);
  const auto functions = ReadWord(*directory + 28);
  const auto names = ReadWord(*directory + 32);
  const auto ordinals = ReadWord(*directory + 36);
  if (!functionCount || !nameCount || !functions || !names || !ordinals ||
      *functionCount > kMaxExports || *nameCount > kMaxExports) {
    *error = "malformed export directory";
    return std::nullopt;
  }
  if (*functionCount != *nameCount) {
    *error = "exports by ordinal only: " + std::to_string(*functionCount) + " functions, " +
             std::to_string(*nameCount) + " names";
    return std::nullopt;
  }
  std::vector<Export> exports;
  for (std::uint32_t i = 0; i < *nameCount; ++i) {
    const auto nameRva = ReadWord(*names + 4 * i);
    const auto ordinalAt = FileOffset(*ordinals + 2 * i);
    if (!nameRva || !ordinalAt) {
      *error = "malformed export name table";
      return std::nullopt;
    }
    const auto name = ReadString(*nameRva);
    const auto ordinal = Read16(bytes_, *ordinalAt);
    if (!name || !ordinal || *ordinal >= *functionCount) {
      *error = "malformed export entry";
      return std::nullopt;
    }
    const auto rva = ReadWord(*functions + 4 * *ordinal);
    if (!rva) {
      *error = "malformed export address table";
      return std::nullopt;
    }
    exports.push_back({*name, *rva});
  }
  return exports;
}

std::optional<std::vector<Import>> Image::Imports(std::string* error) const {
  std::uint32_t size = 0;
  const auto directory = DirectoryRva(kDirectoryImport, &size);
  if (!directory) return std::vector<Import>{};
  std::vector<Import> imports;
  for (std::size_t d = 0;; ++d) {
    if (d == kMaxImportDlls) {
      *error = "import directory has no end";
      return std::nullopt;
    }
    const std::uint32_t at = *directory + static_cast<std::uint32_t>(d * kImportDescriptorSize);
    const auto lookup = ReadWord(at);
    const auto nameRva = ReadWord(at + 12);
    const auto addresses = ReadWord(at + 16);
    if (!lookup || !nameRva || !addresses) {
      *error = "malformed import directory";
      return std::nullopt;
    }
    if (*nameRva == 0 && *addresses == 0) break;
    const auto dll = ReadString(*nameRva);
    if (!dll) {
      *error = "malformed import DLL name";
      return std::nullopt;
    }
    Import import{*dll, {}};
    // The lookup table names the functions; old linkers leave it out and the
    // address table, unbound in the file, holds the same entries.
    const std::uint32_t thunks = *lookup != 0 ? *lookup : *addresses;
    for (std::size_t i = 0;; ++i) {
      const auto entry = ReadWord(thunks + static_cast<std::uint32_t>(4 * i));
      if (!entry || i == kMaxImportsPerDll) {
        *error = "malformed import table of " + *dll;
        return std::nullopt;
      }
      if (*entry == 0) break;
      if (*entry & 0x80000000u) {
        import.functions.push_back("#" + std::to_string(*entry & 0xFFFFu));
        continue;
      }
      const auto name = ReadString(*entry + 2);
      if (!name) {
        *error = "malformed import name in " + *dll;
        return std::nullopt;
      }
      import.functions.push_back(*name);
    }
    imports.push_back(std::move(import));
  }
  return imports;
}

}  // namespace pe
