#include "module/globals.h"

SharedState* sharedState = nullptr;
SimConnectHandle simConnect = nullptr;
SimConnectResult lastSimConnectResult = 0;

double setDataScratch = 0.0;
std::atomic<std::uint32_t> suppressEvent{0};
std::atomic<std::uint32_t> suppressData{0};

std::vector<std::unique_ptr<LVarEntry>> lvarTable;
std::atomic<std::uint32_t> lvarCount{0};
std::atomic<bool> startWaitLogged{false};

std::atomic<bool> roleStarted{false};
std::atomic<std::int32_t> shutdownState{0};
std::atomic<std::uint8_t> isFollower{0};
std::atomic<ServerGame*> serverGame{nullptr};
std::atomic<ClientGame*> clientGame{nullptr};
std::mutex roleGuard;
platform::ThreadHandle receiveThreadHandle = platform::kNoThread;
platform::ThreadHandle sendThreadHandle = platform::kNoThread;
std::string peerAddress;
std::string basePort;
std::atomic<bool> anySourceAllowed{false};
std::atomic<bool> routerMappingAllowed{true};
std::atomic<std::uint32_t> resolvedPeerIpv4{0};

std::atomic<std::uint8_t> connectionStatus{connection_status::kNothingYet};
std::atomic<std::int32_t> connectedClientCount{0};
std::atomic<std::uint32_t> connectionGeneration{0};
