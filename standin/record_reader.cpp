#include "record_reader.h"

#include <sstream>
#include <string_view>

#include "record_layout.h"

namespace standin {

namespace {

using namespace layout;

// Longest gauge name, gauge list and mouse list the reader follows before it
// calls the record unterminated.
constexpr std::size_t kMaxName = 256;
constexpr std::size_t kMaxListEntries = 64;

std::string Hex(std::uint64_t value) {
  std::ostringstream out;
  out << "0x" << std::hex << std::uppercase << value;
  return out.str();
}

// A refusal, carried out of the reading steps to ReadModuleRecords.
struct Refusal {
  std::string what;
};

class Reader {
 public:
  Reader(std::size_t pointerSize, const MemoryReader& read)
      : pointerSize_(pointerSize), read_(read) {}

  std::size_t pointerSize() const { return pointerSize_; }

  std::uint32_t Word(std::uintptr_t address, std::string_view what) const {
    std::uint8_t bytes[4];
    Bytes(address, bytes, sizeof bytes, what);
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
  }

  std::uintptr_t Pointer(std::uintptr_t address, std::string_view what) const {
    std::uint8_t bytes[8] = {};
    Bytes(address, bytes, pointerSize_, what);
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < pointerSize_; ++i) value |= std::uint64_t{bytes[i]} << 8 * i;
    return static_cast<std::uintptr_t>(value);
  }

  std::string String(std::uintptr_t address, std::string_view what) const {
    std::string text;
    for (std::size_t i = 0; i < kMaxName; ++i) {
      char c = 0;
      Bytes(address + i, &c, 1, what);
      if (c == 0) return text;
      text += c;
    }
    throw Refusal{std::string(what) + " has no end within " + std::to_string(kMaxName) +
                  " characters"};
  }

  // Whether `size` bytes at `address` can be read, without refusing.
  bool Readable(std::uintptr_t address, std::size_t size) const {
    std::uint8_t bytes[8];
    return address != 0 && size <= sizeof bytes && read_(address, bytes, size);
  }

 private:
  void Bytes(std::uintptr_t address, void* out, std::size_t size, std::string_view what) const {
    if (address == 0 || !read_(address, out, size)) {
      throw Refusal{"cannot read " + std::string(what) + " at " + Hex(address)};
    }
  }

  std::size_t pointerSize_;
  const MemoryReader& read_;
};

// Offsets of the fields read, for the module's pointer width.
struct Offsets {
  explicit Offsets(std::size_t p)
      : importTable(kImportTable.OffsetAt(kImportTable.Index("table"), p)),
        terminatorId(kImportTable.OffsetAt(kImportTable.Index("terminator id"), p)),
        terminatorPointer(kImportTable.OffsetAt(kImportTable.Index("terminator pointer"), p)),
        start(kLinkage.OffsetAt(kLinkage.Index("start"), p)),
        stop(kLinkage.OffsetAt(kLinkage.Index("stop"), p)),
        moduleVersion(kLinkage.OffsetAt(kLinkage.Index("module version"), p)),
        gauges(kLinkage.OffsetAt(kLinkage.Index("gauges"), p)),
        name(kGaugeHeader.OffsetAt(kGaugeHeader.Index("name"), p)),
        elements(kGaugeHeader.OffsetAt(kGaugeHeader.Index("elements"), p)),
        query(kGaugeHeader.OffsetAt(kGaugeHeader.Index("query"), p)),
        mouseRects(kGaugeHeader.OffsetAt(kGaugeHeader.Index("mouse rects"), p)),
        callback(kGaugeHeader.OffsetAt(kGaugeHeader.Index("callback"), p)),
        elementGauge(kStaticImage.OffsetAt(kStaticImage.Index("gauge"), p)),
        imageFlags(kStaticImage.OffsetAt(kStaticImage.Index("image flags"), p)),
        afterImageFlags(kStaticImage.OffsetAt(kStaticImage.Index("special instrumentation"), p)),
        mouseSize(kMouseRect.Size(p)) {}

  std::size_t importTable, terminatorId, terminatorPointer;
  std::size_t start, stop, moduleVersion, gauges;
  std::size_t name, elements, query, mouseRects, callback;
  std::size_t elementGauge, imageFlags, afterImageFlags;
  std::size_t mouseSize;
};

constexpr std::array<std::string_view, 7> kElementRoutineNames = {
    "query", "install", "initialize", "update", "generate", "draw", "kill"};

void Require(bool holds, const std::string& what) {
  if (!holds) throw Refusal{what};
}

// A list of pointers whose first entry is set must end with a null.
void RequireNullEnd(const Reader& r, std::uintptr_t list, const std::string& what) {
  for (std::size_t i = 1; i < kMaxListEntries; ++i) {
    if (r.Pointer(list + i * r.pointerSize(), what) == 0) return;
  }
  throw Refusal{what + " has no null end"};
}

std::string At(std::string_view record, std::string_view field, std::size_t offset) {
  return std::string(record) + " " + std::string(field) + " (offset " + std::to_string(offset) +
         ")";
}

void CheckImportTable(const Reader& r, const Offsets& o, std::uintptr_t table) {
  const std::uint32_t id = r.Word(table, "ImportTable import id");
  Require(id == kPanelsImportId,
          "ImportTable import id (offset 0) is " + Hex(id) + ", not " + Hex(kPanelsImportId));
  Require(
      r.Word(table + o.terminatorId, "ImportTable terminator") == 0 &&
          r.Pointer(table + o.terminatorPointer, "ImportTable terminator") == 0,
      "ImportTable does not end with a null import at offset " + std::to_string(o.terminatorId));
}

// The first gauge of the inline list. A pointer to a separate list reads as
// a header whose first word is an address, not a version.
std::uintptr_t FirstGauge(const Reader& r, const Offsets& o, std::uintptr_t linkage) {
  const std::uintptr_t first = r.Pointer(linkage + o.gauges, "Linkage gauge list");
  Require(first != 0, At("Linkage", "gauge list", o.gauges) + " is empty");
  const std::uint32_t version = r.Word(first, "gauge header version");
  if (version != kHeaderVersion) {
    const std::uintptr_t inner = r.Readable(first, r.pointerSize()) ? r.Pointer(first, "") : 0;
    Require(!r.Readable(inner, 4) || r.Word(inner, "") != kHeaderVersion,
            At("Linkage", "gauge list", o.gauges) +
                " holds a pointer to a separate list; the gauge header pointers must be "
                "inline in the record, ended by a null");
    Require(false, "gauge header version (offset 0) is " + std::to_string(version) + ", not " +
                       std::to_string(kHeaderVersion));
  }
  RequireNullEnd(r, linkage + o.gauges, At("Linkage", "gauge list", o.gauges));
  return first;
}

void CheckElement(const Reader& r, const Offsets& o, std::uintptr_t element, std::uintptr_t gauge) {
  const std::uint32_t type = r.Word(element, "element type");
  Require(type == kStaticImageType,
          "element type (offset 0) is " + std::to_string(type) + ", not a static image (0)");
  const std::uint32_t flags = r.Word(element + o.imageFlags, "element image flags");
  if (flags != kExpectedImageFlags) {
    std::string what = At("element", "image flags", o.imageFlags) + " are " + Hex(flags) +
                       ", not " + Hex(kExpectedImageFlags);
    if (r.Word(element + o.afterImageFlags, "element") == kExpectedImageFlags) {
      what += " (" + Hex(kExpectedImageFlags) + " lies at offset " +
              std::to_string(o.afterImageFlags) + ")";
    }
    Require(false, what);
  }
  Require(r.Pointer(element + o.elementGauge, "element gauge") == gauge,
          At("element", "gauge", o.elementGauge) + " does not point back to its gauge header");
}

void CheckMouseList(const Reader& r, const Offsets& o, std::uintptr_t rects) {
  Require(rects != 0, At("gauge header", "mouse rectangle list", o.mouseRects) + " is null");
  for (std::size_t i = 0;; ++i) {
    Require(i < kMaxListEntries, "mouse rectangle list has no end (type 0)");
    if (r.Word(rects + i * o.mouseSize, "mouse rectangle type") == 0) return;
  }
}

ModuleEntry Read(const Reader& r, std::uintptr_t importTable, std::uintptr_t linkage) {
  const Offsets o(r.pointerSize());
  CheckImportTable(r, o, importTable);

  ModuleEntry entry;
  entry.panelsSlot = importTable + o.importTable;
  const std::uint32_t id = r.Word(linkage, "Linkage module id");
  Require(id == kModuleId,
          "Linkage module id (offset 0) is " + Hex(id) + ", not " + Hex(kModuleId));
  const std::uint32_t version = r.Word(linkage + o.moduleVersion, "Linkage module version");
  Require(version == kModuleVersion, At("Linkage", "module version", o.moduleVersion) + " is " +
                                         Hex(version) + ", not " + Hex(kModuleVersion));
  entry.start = r.Pointer(linkage + o.start, "Linkage start routine");
  entry.stop = r.Pointer(linkage + o.stop, "Linkage stop routine");
  Require(entry.start != 0, At("Linkage", "start routine", o.start) + " is null");
  Require(entry.stop != 0, At("Linkage", "stop routine", o.stop) + " is null");

  const std::uintptr_t gauge = FirstGauge(r, o, linkage);
  entry.gauge = gauge;
  entry.gaugeName = r.String(r.Pointer(gauge + o.name, "gauge name"), "gauge name");
  for (std::size_t i = 0; i < kElementRoutineNames.size(); ++i) {
    const std::size_t offset = o.query + i * r.pointerSize();
    entry.elementRoutines[i] = r.Pointer(gauge + offset, "gauge element routine");
    Require(
        entry.elementRoutines[i] != 0,
        At("gauge header", std::string(kElementRoutineNames[i]) + " routine", offset) + " is null");
  }
  entry.callback = r.Pointer(gauge + o.callback, "gauge callback");
  Require(entry.callback != 0, At("gauge header", "gauge callback", o.callback) + " is null");

  const std::uintptr_t list = r.Pointer(gauge + o.elements, "gauge element list");
  Require(list != 0, At("gauge header", "element list", o.elements) + " is null");
  entry.element = r.Pointer(list, "element list");
  Require(entry.element != 0, "the gauge's element list is empty");
  RequireNullEnd(r, list, "the gauge's element list");
  CheckElement(r, o, entry.element, gauge);

  entry.mouseRects = r.Pointer(gauge + o.mouseRects, "gauge mouse rectangle list");
  CheckMouseList(r, o, entry.mouseRects);
  return entry;
}

}  // namespace

std::variant<ModuleEntry, RecordError> ReadModuleRecords(std::uintptr_t importTable,
                                                         std::uintptr_t linkage,
                                                         std::size_t pointerSize,
                                                         const MemoryReader& read) {
  if (pointerSize != 4 && pointerSize != 8) {
    return RecordError{"pointer width " + std::to_string(pointerSize) + " is not 4 or 8"};
  }
  try {
    return Read(Reader(pointerSize, read), importTable, linkage);
  } catch (const Refusal& refusal) {
    return RecordError{refusal.what};
  }
}

}  // namespace standin
