// Windows Sockets must come before the reliable-channel library's header,
// which also needs WIN32 defined.
#pragma once
#ifndef WIN32
#define WIN32
#endif
// The reliable-channel library declares UDT::ERROR, which the GDI header would
// turn into a macro; min and max stay the standard library's.
#ifndef NOGDI
#define NOGDI
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
