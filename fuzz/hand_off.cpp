// The hand-off file another program leaves beside the mailer: every key start-up reads, and
// the recipients and attachment lists in it.
#include "AttachmentText.h"
#include "FuzzSupport.h"
#include "HandOffFile.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    tarv::fuzz::setUpProcess(argc, argv, false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = tarv::fuzz::windowsDirectory() + QStringLiteral("/Default.ini");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.close();

    const tarv::HandOffFile handOff(path);
    handOff.distrustReason();
    const QString dati = QStringLiteral("Dati");
    for (const char* key : {"Dest", "Subject", "Testo", "Nascosto", "Esci"})
        handOff.Leggi_Ini(dati, QString::fromLatin1(key));
    const QStringList recipients = tarv::splitRecipients(handOff.Leggi_Ini(dati, "Dest"));
    const QStringList attachments =
        tarv::splitAttachmentText(handOff.Leggi_Ini(dati, QStringLiteral("Allegato")));
    tarv::joinAttachmentText(attachments);
    (void)recipients;
    return 0;
}
