#pragma once

#include "LocalAddress.h"

#include <QString>

#include <cstdint>

namespace tarv {

// The socket module: the local-address routine (shared with the library, LocalAddress.h) and
// the English texts of the socket error codes.
namespace WSKSOCK {

QString SocketErrorText(int code);

// The Winsock number of a POSIX errno value, so that the texts above describe what went
// wrong. Unknown values map to themselves.
int winsockError(int posixErrno);

} // namespace WSKSOCK
} // namespace tarv
