// Built into each 32-bit DLL of ours (MultiShared.dll, udt.dll), whose C++
// runtime and unwinder are linked in. The i686 runtime finds a thrown
// exception's frames in DWARF tables that each image registers when it
// loads, but crtbegin registers them with MinGW's shared libgcc_s_dw2-1.dll
// instead of the image's own unwinder whenever another add-on has already
// loaded that DLL into the process: our unwinder then finds no frame for any
// throw and ends the process. Registering the tables with our own unwinder as
// well makes every throw in this image unwind whichever DLLs the process holds.
#include <windows.h>

#include <cstring>

extern "C" {
// The unwinder's registry, from the static libgcc linked into this image.
void __register_frame_info(const void* tables, void* registration);
void* __deregister_frame_info(const void* tables);
// The start of this image in memory, defined by the linker.
extern IMAGE_DOS_HEADER __ImageBase;
}

namespace {

const char kSharedRuntime[] = "libgcc_s_dw2-1.dll";

// libgcc's registration record for the tables (six words in GCC 12), owned by
// the unwinder while registered; room for more in case it grows.
alignas(16) void* registration[16];
const void* registeredTables = nullptr;

// The start of this image's .eh_frame section, whose name a PE section
// header cuts to eight characters; null when the image has none.
const void* OwnFrameTables() {
  const auto* base = reinterpret_cast<const unsigned char*>(&__ImageBase);
  const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + __ImageBase.e_lfanew);
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
  for (unsigned i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
    if (std::memcmp(section->Name, ".eh_fram", IMAGE_SIZEOF_SHORT_NAME) == 0) {
      return base + section->VirtualAddress;
    }
  }
  return nullptr;
}

// Runs at load under the loader lock, so the shared runtime cannot come or go
// between crtbegin's choice of registry and this test of the same condition.
__attribute__((constructor)) void RegisterWithOwnUnwinder() {
  if (GetModuleHandleA(kSharedRuntime) == nullptr) return;
  registeredTables = OwnFrameTables();
  if (registeredTables != nullptr) __register_frame_info(registeredTables, registration);
}

__attribute__((destructor)) void DeregisterFromOwnUnwinder() {
  if (registeredTables != nullptr) __deregister_frame_info(registeredTables);
}

}  // namespace
