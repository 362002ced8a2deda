#pragma once

#include <QString>

#include <cstdint>

namespace tarv {

// The local-address routine of the socket module, one copy for the mailer (its connectivity
// test) and the library (Internet.MyIP and IsConnected2Internet): name resolution and the
// local host's name and address. Addresses are IPv4 in network byte order; kNoAddress (all
// bits set) stands for a host that was not found.
namespace WSKSOCK {

constexpr std::uint32_t kNoAddress = 0xFFFFFFFFu;

std::uint32_t ResolveHost(const QString& host);
QString AddressToText(std::uint32_t address);
QString HostAddressText(const QString& host);
QString LocalHostName();
QString LocalAddress();

// The connectivity test: true when the local host has an address other than the loopback
// address "127.0.0.1" (an unresolvable name gives "255.255.255.255", which counts as on line).
bool Connessione_Attiva();

} // namespace WSKSOCK
} // namespace tarv
