#include <dlfcn.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>

#include "host_os.h"

namespace standin {

std::int64_t MonotonicNs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void* OpenLibrary(const std::string& path, std::string* error) {
  // Kept mapped after dlclose: the module keeps its SharedState for the life
  // of the process, and a leak checker must still find it reachable.
  // A bare file name would send dlopen to the library search path; the
  // option names a file, so it is taken from the current folder.
  const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (library == nullptr) *error = dlerror();
  return library;
}

void* LibrarySymbol(void* library, const char* name) { return dlsym(library, name); }

void CloseLibrary(void* library) { dlclose(library); }

bool ReadOwnMemory(std::uintptr_t address, void* out, std::size_t size) {
  iovec local{out, size};
  iovec remote{reinterpret_cast<void*>(address), size};
  return ::process_vm_readv(::getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

bool SetDocumentsFolder(const std::string& folder) {
  return ::setenv("XDG_DOCUMENTS_DIR", folder.c_str(), 1) == 0;
}

bool SetX87SinglePrecision() { return false; }

}  // namespace standin
