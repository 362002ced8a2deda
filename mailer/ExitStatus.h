#pragma once

#include <QString>
#include <QStringList>

#include <sysexits.h>

namespace tarv {

// The exit statuses of a send that no one watches (the hand-off's unattended run, the command
// line, the sendmail interface), from sysexits.h, so that a script can tell a retry that may
// cure from one that cannot:
//   0  EX_OK           sent to every recipient
//   64 EX_USAGE        a wrong command line
//   65 EX_DATAERR      a malformed address or message
//   66 EX_NOINPUT      an attachment missing or unreadable
//   68 EX_NOHOST       an unknown server (the name does not exist)
//   69 EX_UNAVAILABLE  a permanent refusal (5xx) or a server that lacks what the send needs
//   75 EX_TEMPFAIL     a temporary failure (4xx, connection refused or timed out, off line,
//                      a name look-up that could not be made)
//   76 EX_PROTOCOL     a reply that is not SMTP
//   77 EX_NOPERM       a login refused (535) or no password
//   78 EX_CONFIG       settings missing or unusable
namespace ExitStatus {

// The status of a reply with an unexpected code: 4xx a retry may cure, 5xx not, anything
// else is not SMTP.
int ofReply(int code);
// A host name that could not be resolved: EX_NOHOST when the name does not exist, EX_TEMPFAIL
// when the look-up itself failed (no name server, network down).
int ofUnresolvedHost(const QString& host);
// Of two outcomes the worse: any failure over success, a permanent failure over a temporary
// one (a retry would not cure everything), else the first.
int worse(int a, int b);

// "spedito a: a, b; non spedito a: c" for standard error.
QString recipientSummary(const QStringList& served, const QStringList& notServed);

} // namespace ExitStatus
} // namespace tarv
