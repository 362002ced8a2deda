#include "Altro.h"

#include "TypeLibrary.h"

#include "ComPtr.h"
#include "HandOffText.h"
#include "MessageBoxes.h"
#include "Paths.h"
#include "ProfileFile.h"
#include "Services.h"
#include "SessionControl.h"
#include "ShellMan.h"
#include "SystemInfo.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace tarv::utility {

using namespace com;

Altro::Altro() : DispatchObject(interfaceInfo(), progIdOf("Altro")) {}

const InterfaceInfo& Altro::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_Altro");
        i.iid = IID__Altro;
        i.members = {
            method<&_Altro::IsWinNT>("IsWinNT", 0x60030000, {}, VT_BOOL),
            method<&_Altro::Spegni_Pc>(
                "Spegni_Pc", 0x60030001,
                {optional(byRef("Tipo", VT_I4), Variant(int32_t(spegni)), "Tipo_Speg"),
                 optional(byRef("msg", VT_BOOL), Variant(true))}),
            method<&_Altro::Invia_File>("Invia_File", 0x60030003,
                                        {byRef("FileDaInviare", VT_BSTR),
                                         optional(byRef("Dest", VT_BSTR), Variant(QString())),
                                         optional(byRef("Soggetto", VT_BSTR), Variant(QString())),
                                         optional(byRef("Testo", VT_BSTR), Variant(QString()))}),
        };
        return i;
    }();
    return info;
}

const ClassInfo& Altro::classInfo() {
    static const ClassInfo info{QStringLiteral("Altro"), CLSID_Altro, &interfaceInfo(), nullptr,
                                &createAndQuery<Altro>};
    return info;
}

HRESULT Altro::IsWinNT(VARIANT_BOOL* result) {
    return give(result, toVariantBool(SystemInfo::platformId() == 2));
}

HRESULT Altro::Spegni_Pc(Tipo_Speg* Tipo, VARIANT_BOOL* msg) {
    if (*msg) {
        const QString question = *Tipo == Disconnetti ? QStringLiteral("Disconnetersi ora?")
                                 : *Tipo == Riavvia   ? QStringLiteral("Riavviare il pc ora?")
                                                      : QStringLiteral("Spegnere il pc ora?");
        if (Services::current().messageBoxes->show(question, MsgButtons::YesNo,
                                                   MsgIcon::Question) != MsgAnswer::Yes)
            return S_OK;
    }
    VARIANT_BOOL nt = VARIANT_FALSE;
    IsWinNT(&nt);
    if (nt) {
        if (*Tipo == 1 || *Tipo == 5)
            *Tipo = Tipo_Speg(*Tipo + Spegni1);
        // Abilita_Spegnimento: no privilege to enable here; logind decides, asking polkit,
        // when the request is made.
    }
    SessionControl::exitWindows(*Tipo);
    return S_OK;
}

HRESULT Altro::Invia_File(QString* FileDaInviare, QString* Dest, QString* Soggetto,
                          QString* Testo) {
    const std::pair<const char*, QString*> oneLine[] = {
        {"FileDaInviare", FileDaInviare}, {"Dest", Dest}, {"Soggetto", Soggetto}};
    for (const auto& [name, text] : oneLine)
        if (text->contains(QLatin1Char('\n')) || text->contains(QLatin1Char('\r')))
            return raise(controlError(5),
                         QStringLiteral("Invia_File: %1 non può contenere a capo; nulla è "
                                        "stato scritto")
                             .arg(QString::fromLatin1(name)));

    auto shell = ComPtr<ShellMan>::adopt(new ShellMan);
    QString dir;
    shell->DyrSistema(&dir);
    QString file = dir + QStringLiteral("Default.ini");
    QString section = QStringLiteral("Dati");
    const HandOffText body = HandOffText::encode(*Testo);
    const std::pair<const char*, QString> entries[] = {{"Allegato", *FileDaInviare},
                                                       {"Dest", *Dest},
                                                       {"Subject", *Soggetto},
                                                       {"Testo", body.firstLine}};
    for (const auto& [key, value] : entries) {
        QString name = QString::fromLatin1(key);
        shell->SetVar(&file, &section, &name, value);
    }
    // The whole text, when it has more than one line; a one-line text leaves no stale whole
    // text of an earlier hand-off behind.
    ProfileFile::writeString(section, HandOffText::wholeKey(), body.whole, file);
    // The mailer trusts only a hand-off file that no one else can write, in a folder where no
    // one else can replace it; the system directory is ours, made under the user's umask.
    QFile::setPermissions(file,
                          QFile::permissions(file) & ~(QFile::WriteGroup | QFile::WriteOther));
    struct stat folder {};
    const QByteArray folderName = QFile::encodeName(dir);
    if (::stat(folderName.constData(), &folder) == 0 && folder.st_uid == ::geteuid() &&
        (folder.st_mode & (S_IWGRP | S_IWOTH)) && !(folder.st_mode & S_ISVTX))
        ::chmod(folderName.constData(), folder.st_mode & 07755);

    // The user's own mailer (a per-user install), else the one installed for every user.
    QString program = dir + QStringLiteral("velinor");
    const QString shared = Paths::installedProgramsDirectory() + QStringLiteral("/velinor");
    if (!QFileInfo(program).isFile() && QFileInfo(shared).isFile())
        program = shared;
    const QFileInfo installed(program);
    const int failure = !installed.isFile()                                               ? 53
                        : !installed.isExecutable()                                       ? 70
                        : !Services::current().processes->startDetached(program, {}, dir) ? 75
                                                                                          : 0;
    if (failure)
        return raise(
            controlError(failure),
            QStringLiteral("%1: %2").arg(standardDescription(controlError(failure)), program));
    return S_OK;
}

} // namespace tarv::utility
