#include "Submission.h"

#include "ProgramSettings.h"

namespace tarv {

Submission Submission::read(ProgramSettings& settings) {
    Submission s;
    settings.Apri_Chiave_Programma();
    const QString port = storedPort(settings);
    const QString security = settings.Leggi_Impostazione(QStringLiteral("Sicurezza")).trimmed();
    s.user = settings.Leggi_Impostazione(QStringLiteral("Utente")).trimmed();
    if (!port.isEmpty()) {
        bool ok = false;
        const uint number = port.toUInt(&ok);
        if (!ok || number < 1 || number > 65535)
            s.problem = QStringLiteral("Porta non valida nelle impostazioni: \"%1\".").arg(port);
        else
            s.port = quint16(number);
    }
    if (security.compare(QLatin1String("STARTTLS"), Qt::CaseInsensitive) == 0)
        s.security = Security::StartTls;
    else if (security.compare(QLatin1String("TLS"), Qt::CaseInsensitive) == 0)
        s.security = Security::Tls;
    else if (!security.isEmpty() && s.problem.isEmpty())
        s.problem = QStringLiteral("Sicurezza non valida nelle impostazioni: \"%1\" "
                                   "(vuota, STARTTLS o TLS).")
                        .arg(security);
    return s;
}

QString Submission::storedPort(ProgramSettings& settings) {
    settings.Apri_Chiave_Programma();
    const QString text = settings.Leggi_Impostazione(QStringLiteral("Porta")).trimmed();
    if (!text.isEmpty())
        return text;
    RegistryObject& regitro = settings.Regitro();
    regitro.NameValue = QStringLiteral("Porta");
    return regitro.RGetDWord() ? QString::number(quint32(regitro.DWordValue)) : QString();
}

QString Submission::securityText(Security security) {
    switch (security) {
    case Security::StartTls:
        return QStringLiteral("STARTTLS");
    case Security::Tls:
        return QStringLiteral("TLS");
    default:
        return QString();
    }
}

} // namespace tarv
