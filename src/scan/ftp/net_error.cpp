#include "scan/ftp/net_error.h"

#include <netdb.h>

#include <cerrno>

namespace korvane {

namespace {
thread_local int last_net_error = kNetErrorNone;
}  // namespace

int LastNetError() {
    return last_net_error;
}

void SetLastNetError(int error) {
    last_net_error = error;
}

int NetErrorFromErrno(int errno_value) {
    switch (errno_value) {
        case 0:
            return kNetErrorNone;
        case EINTR:
            return kNetErrorInterrupted;
        case EBADF:
        case ENOTSOCK:
            return kNetErrorBadHandle;
        case EACCES:
        case EPERM:
            return kNetErrorAccess;
        case EINVAL:
        case EFAULT:
            return kNetErrorInvalid;
        case EMFILE:
        case ENFILE:
            return kNetErrorTooManyFiles;
        case EAGAIN:
            return kNetErrorWouldBlock;
        case EINPROGRESS:
        case EALREADY:
            return kNetErrorInProgress;
        case EMSGSIZE:
            return kNetErrorMessageSize;
        case EADDRINUSE:
            return kNetErrorAddressInUse;
        case EADDRNOTAVAIL:
            return kNetErrorAddressNotAvailable;
        case ENETDOWN:
            return kNetErrorNetworkDown;
        case ENETUNREACH:
            return kNetErrorNetworkUnreachable;
        case ECONNABORTED:
            return kNetErrorConnectionAborted;
        case ECONNRESET:
        case EPIPE:  // writing to a connection the peer has closed
            return kNetErrorConnectionReset;
        case ENOBUFS:
        case ENOMEM:
            return kNetErrorNoBuffers;
        case ENOTCONN:
        case ESHUTDOWN:
            return kNetErrorNotConnected;
        case ETIMEDOUT:
            return kNetErrorTimedOut;
        case ECONNREFUSED:
            return kNetErrorConnectionRefused;
        case EHOSTDOWN:
            return kNetErrorHostDown;
        case EHOSTUNREACH:
            return kNetErrorHostUnreachable;
        default:
            return kNetErrorSystemCall;
    }
}

int NetErrorFromResolver(int eai_code, int errno_value) {
    switch (eai_code) {
        case 0:
            return kNetErrorNone;
        case EAI_NONAME:
            return kNetErrorHostNotFound;
        case EAI_AGAIN:
            return kNetErrorTryAgain;
        case EAI_FAIL:
            return kNetErrorNoRecovery;
#ifdef EAI_NODATA
        case EAI_NODATA:
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
#endif
            return kNetErrorNoData;
        case EAI_MEMORY:
            return kNetErrorNoBuffers;
        case EAI_SYSTEM:
            return errno_value != 0 ? NetErrorFromErrno(errno_value) : kNetErrorNoRecovery;
        default:
            return kNetErrorNoRecovery;
    }
}

void StoreErrnoAsNetError() {
    SetLastNetError(NetErrorFromErrno(errno));
}

bool HostErrorText(std::string& text, int error, std::string_view host) {
    text.clear();
    if (error != kNetErrorHostNotFound)
        return false;
    text.append("Host ").append(host).append(" not found.");
    return true;
}

}  // namespace korvane
