#pragma once

#include <QString>

namespace tarv {

class ProgramSettings;

// How a send reaches its server, from the stored values "Porta" (the server's port, 25 when
// absent), "Sicurezza" ("" none, "STARTTLS", "TLS" from the first byte) and "Utente" (the
// login name). With none of them set the dialogue is the plain one of port 25: HELO and no
// login. With a security or a user it speaks EHLO, encrypts and logs in.
struct Submission {
    enum class Security { None, StartTls, Tls };

    quint16 port = 25;
    Security security = Security::None;
    QString user;
    // Set when a stored value cannot be used: the status that ends the send.
    QString problem;

    bool extended() const { return security != Security::None || !user.isEmpty(); }

    // Reads the three values through the settings module (which it leaves on the program key).
    // Letter case and blanks around the values do not count.
    static Submission read(ProgramSettings& settings);
    // The stored "Porta" as text: a string value, or a DWORD written by a tool or a .reg file
    // (in decimal); "" when there is neither.
    static QString storedPort(ProgramSettings& settings);
    // The stored text of a security choice.
    static QString securityText(Security security);
};

} // namespace tarv
