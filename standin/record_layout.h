// The simulator's own table of the records a module exports, field by field
// in the order of the simulator's gauge interface. The simulator reads a
// module through these offsets alone, never through the module's
// declarations.
//
// The 32-bit simulator packs to 4 and has 4-byte pointers. For another
// pointer width the fields keep their order, pointer fields (pointers,
// routines, callbacks, handles, buffers) take the pointer's width, and the
// packing is the pointer's width too: each field is aligned to the smaller
// of its own size (8 for doubles) and the packing, and a record is rounded up
// to its largest such alignment. With 4-byte pointers that is the simulator's
// layout; with 8-byte pointers it is the compiler's natural 64-bit layout.
#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string_view>

namespace standin::layout {

enum class Kind { kWord, kPointer, kDouble };

struct Field {
  std::string_view name;
  Kind kind;
  std::size_t count = 1;  // words, pointers or doubles in a row
};

constexpr std::size_t ElementSize(Kind kind, std::size_t pointerSize) {
  return kind == Kind::kWord ? 4 : kind == Kind::kPointer ? pointerSize : 8;
}

constexpr std::size_t Alignment(Kind kind, std::size_t pointerSize) {
  const std::size_t size = ElementSize(kind, pointerSize);
  return size < pointerSize ? size : pointerSize;
}

constexpr std::size_t RoundUp(std::size_t value, std::size_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

template <std::size_t N>
struct Record {
  std::array<Field, N> fields;

  // The field's position in the table; an unknown name stops the build.
  consteval std::size_t Index(std::string_view name) const {
    for (std::size_t i = 0; i < N; ++i) {
      if (fields[i].name == name) return i;
    }
    throw std::invalid_argument("no such field");
  }

  constexpr std::size_t OffsetAt(std::size_t index, std::size_t pointerSize) const {
    std::size_t offset = 0;
    for (std::size_t i = 0; i <= index && i < N; ++i) {
      offset = RoundUp(offset, Alignment(fields[i].kind, pointerSize));
      if (i == index) break;
      offset += fields[i].count * ElementSize(fields[i].kind, pointerSize);
    }
    return offset;
  }

  constexpr std::size_t Size(std::size_t pointerSize) const {
    std::size_t alignment = 4;
    for (const Field& f : fields) {
      if (Alignment(f.kind, pointerSize) > alignment) alignment = Alignment(f.kind, pointerSize);
    }
    const std::size_t end = OffsetAt(N - 1, pointerSize) +
                            fields[N - 1].count * ElementSize(fields[N - 1].kind, pointerSize);
    return RoundUp(end, alignment);
  }
};

constexpr Kind W = Kind::kWord;
constexpr Kind P = Kind::kPointer;
constexpr Kind D = Kind::kDouble;

inline constexpr Record<4> kImportTable{{{
    {"import id", W},
    {"table", P},
    {"terminator id", W},
    {"terminator pointer", P},
}}};

// The gauge list is inline: header pointers from "gauges" on, up to a null.
inline constexpr Record<7> kLinkage{{{
    {"module id", W},
    {"start", P},
    {"stop", P},
    {"flags", W},
    {"priority", W},
    {"module version", W},
    {"gauges", P, 2},
}}};

inline constexpr Record<38> kGaugeHeader{{{
    {"header version", W}, {"name", P},
    {"elements", P},       {"query", P},
    {"install", P},        {"initialize", P},
    {"update", P},         {"generate", P},
    {"draw", P},           {"kill", P},
    {"reserved 40", W},    {"size x", W},
    {"size y", W},         {"x adjust", W},
    {"y adjust", W},       {"reserved 60", W},
    {"reserved 64", W},    {"position", W, 2},
    {"reserved 76", W},    {"mouse rects", P},
    {"callback", P},       {"user data", W},
    {"parameters", P},     {"usage", P},
    {"reserved 100", W},   {"reserved 104", P},
    {"size", W, 2},        {"user area", D, 10},
    {"flags", W},          {"reserved 200", W},
    {"guid", W, 4},        {"key id", W},
    {"serialize size", P}, {"serialize", P},
    {"deserialize", P},    {"event size", P},
    {"process event", P},  {"original position", W, 2},
}}};

// A static image element: the element header (up to "reserved 56"), then
// the image's own fields.
inline constexpr Record<17> kStaticImage{{{
    {"element type", W},
    {"resource id", W},
    {"position", W, 2},
    {"previous position", W, 2},
    {"offset", W, 2},
    {"gauge", P},
    {"previous element", P},
    {"next elements", P},
    {"failures", P},
    {"image flags", W},
    {"special instrumentation", W},
    {"reserved 56", W},
    {"image data", P, 4},
    {"save buffer", P},
    {"device context", P},
    {"bitmap", P},
    {"reserved 88", W, 2},
}}};

inline constexpr Record<8> kMouseRect{{{
    {"type", W},
    {"box", W, 4},
    {"cursor", W},
    {"help id", W},
    {"mouse flags", W},
    {"event id", W},
    {"function", P},
    {"data", W},
}}};

// The 32-bit simulator's offsets and sizes, checked against the table.
template <const auto& record>
consteval std::size_t Offset32(std::string_view name) {
  return record.OffsetAt(record.Index(name), 4);
}
static_assert(kImportTable.Size(4) == 16 && Offset32<kImportTable>("terminator id") == 8);
static_assert(kLinkage.Size(4) == 32 && Offset32<kLinkage>("module version") == 20 &&
              Offset32<kLinkage>("gauges") == 24);
static_assert(kGaugeHeader.Size(4) == 252);
static_assert(Offset32<kGaugeHeader>("kill") == 36 && Offset32<kGaugeHeader>("size x") == 44 &&
              Offset32<kGaugeHeader>("position") == 68 &&
              Offset32<kGaugeHeader>("mouse rects") == 80 &&
              Offset32<kGaugeHeader>("callback") == 84 && Offset32<kGaugeHeader>("usage") == 96 &&
              Offset32<kGaugeHeader>("size") == 108 && Offset32<kGaugeHeader>("user area") == 116 &&
              Offset32<kGaugeHeader>("flags") == 196 && Offset32<kGaugeHeader>("guid") == 204 &&
              Offset32<kGaugeHeader>("key id") == 220 &&
              Offset32<kGaugeHeader>("serialize size") == 224 &&
              Offset32<kGaugeHeader>("original position") == 244);
static_assert(kStaticImage.Size(4) == 96 && Offset32<kStaticImage>("gauge") == 32 &&
              Offset32<kStaticImage>("image flags") == 48 &&
              Offset32<kStaticImage>("image data") == 60 &&
              Offset32<kStaticImage>("device context") == 80 &&
              Offset32<kStaticImage>("bitmap") == 84);
static_assert(kMouseRect.Size(4) == 44 && Offset32<kMouseRect>("cursor") == 20 &&
              Offset32<kMouseRect>("function") == 36);

}  // namespace standin::layout
