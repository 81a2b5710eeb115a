// The last network error: the one value the socket layer and the FTP client
// leave behind for callers to word their messages ("FTP Scan failed with
// error %d."). Numbers are the classic socket error numbers the catalogue's
// event logs have always shown, mapped from errno and resolver codes.
#pragma once

#include <string>
#include <string_view>

namespace korvane {

inline constexpr int kNetErrorNone = 0;
inline constexpr int kNetErrorInterrupted = 10004;
inline constexpr int kNetErrorBadHandle = 10009;
inline constexpr int kNetErrorAccess = 10013;
inline constexpr int kNetErrorInvalid = 10022;
inline constexpr int kNetErrorTooManyFiles = 10024;
inline constexpr int kNetErrorWouldBlock = 10035;
inline constexpr int kNetErrorInProgress = 10036;
inline constexpr int kNetErrorMessageSize = 10040;  // also: a reply or listing over its bound
inline constexpr int kNetErrorAddressInUse = 10048;
inline constexpr int kNetErrorAddressNotAvailable = 10049;
inline constexpr int kNetErrorNetworkDown = 10050;
inline constexpr int kNetErrorNetworkUnreachable = 10051;
inline constexpr int kNetErrorConnectionAborted = 10053;
inline constexpr int kNetErrorConnectionReset = 10054;
inline constexpr int kNetErrorNoBuffers = 10055;
inline constexpr int kNetErrorNotConnected = 10057;
inline constexpr int kNetErrorTimedOut = 10060;
inline constexpr int kNetErrorConnectionRefused = 10061;
inline constexpr int kNetErrorHostDown = 10064;
inline constexpr int kNetErrorHostUnreachable = 10065;
inline constexpr int kNetErrorSystemCall = 10107;  // any errno without a closer number
inline constexpr int kNetErrorHostNotFound = 11001;
inline constexpr int kNetErrorTryAgain = 11002;
inline constexpr int kNetErrorNoRecovery = 11003;
inline constexpr int kNetErrorNoData = 11004;  // the name exists but has no IPv4 address

// The program runs its network work on one thread, so "the last error" is
// that thread's: the value is thread_local, which gives every thread (a test's
// scripted server, say) its own and needs no lock. This is the only mutable
// state of the network code.
int LastNetError();
void SetLastNetError(int error);

// errno -> network error number.
int NetErrorFromErrno(int errno_value);
// getaddrinfo's result (EAI_*) -> network error number; EAI_SYSTEM reads errno.
int NetErrorFromResolver(int eai_code, int errno_value);
// Stores NetErrorFromErrno(errno) as the last error.
void StoreErrnoAsNetError();

// For 11001 (host not found): text = "Host %s not found." with the host
// (empty when there is none), true. Any other code: text emptied, false.
bool HostErrorText(std::string& text, int error, std::string_view host);

}  // namespace korvane
