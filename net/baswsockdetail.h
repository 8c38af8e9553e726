#pragma once

// Internal helpers shared by the socket layer's source files (not for callers).
namespace basWSock::detail {

/// Records the Windows Sockets code that LastError() reports on this thread.
void setLastError(int wsaCode);
/// The Windows Sockets code of a getaddrinfo() failure (errno for EAI_SYSTEM).
int resolverCode(int gaiError, int err);

} // namespace basWSock::detail
