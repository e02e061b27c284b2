// The system headers that declare sockaddr and friends, as the reliable-channel
// library's header expects them to be present.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
