// Defaults and limits of the service's HTTP, in one place.
#pragma once

#include <cstddef>

namespace service {

inline constexpr const char* kDefaultListen = "localhost:80";

// A 4079-byte chunk percent-encoded is about 12 KiB; anything longer than this is refused (414).
inline constexpr std::size_t kMaxTargetLength = 64 * 1024;

// /detect: the text it weighs, decoded.
inline constexpr std::size_t kMaxDetectText = 16 * 1024;

// HTTP. A few threads read every connection through epoll and answer at once what needs no
// engine; what may wait on one goes to the workers, its connection set aside meanwhile.
// Idle or stalled clients are dropped after the timeout; until then each holds one of the
// connections, so the limit stays well above any number of chat users at once.
inline constexpr unsigned kMaxConnections = 1000;
inline constexpr unsigned kConnectionTimeoutSeconds = 15;
inline constexpr int kListenBacklog = 256;
// The threads reading connections. Each new connection wakes every one of them (the listening
// socket is in each one's epoll set), and one loop answers far more than the plug-in's users
// ask: on 2 cores one thread cost 0.45 ms of CPU per new connection, two 0.64 ms.
inline constexpr unsigned kEventThreads = 1;
// The translations under way at once (each mostly waits on a pipeline or an upstream), and
// how many more may wait for a worker before the next is a 503 with Retry-After.
inline constexpr std::size_t kTranslationWorkers = 32;
inline constexpr std::size_t kWaitingTranslations = 256;
// Room for the largest target (kMaxTargetLength) and its headers in one connection's memory,
// and not much more: above 32 KiB libmicrohttpd maps this memory afresh for every connection,
// and it clears the unused half it gave the read buffer before the answer, so each 8 KiB above
// the need is another fresh page on every new connection (80 KiB costs 10 of them; on a machine
// where a fresh page costs 14 microseconds, that is most of what a new connection costs).
inline constexpr std::size_t kConnectionMemoryLimit = 80 * 1024;

}  // namespace service
