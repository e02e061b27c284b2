// What simhost needs from the operating system, one implementation per OS:
// a monotonic clock, the module library, reads of its records, and the
// module's documents folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace standin {

// Monotonic time in nanoseconds (CLOCK_MONOTONIC, on Windows the performance
// counter): comparable between processes on one machine.
std::int64_t MonotonicNs();

// The module library, opened (dlopen, LoadLibrary) or null with the reason
// in `error`; its exported symbols; and its release.
void* OpenLibrary(const std::string& path, std::string* error);
void* LibrarySymbol(void* library, const char* name);
void CloseLibrary(void* library);

// Copies `size` bytes at `address` of this process to `out`; false on memory
// that is not mapped, instead of a fault: a module's records may hold any
// value (process_vm_readv, on Windows ReadProcessMemory).
bool ReadOwnMemory(std::uintptr_t address, void* out, std::size_t size);

// Points the module at `folder` as its documents folder (XDG_DOCUMENTS_DIR).
// False where the OS gives no such choice: on Windows the module asks the
// shell for the user's documents folder.
bool SetDocumentsFolder(const std::string& folder);

// Sets the calling thread's x87 precision control to single (24 bits);
// false where floating point does not go through the x87.
bool SetX87SinglePrecision();

}  // namespace standin
