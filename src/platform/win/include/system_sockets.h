// Windows Sockets must come before the reliable-channel library's header,
// which also needs WIN32 defined.
#pragma once
#ifndef WIN32
#define WIN32
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
