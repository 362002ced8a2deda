#include "ShellMan.h"

#include "HandOffClaim.h"

#include "TypeLibrary.h"

#include "EventPump.h"
#include "FileDialogs.h"
#include "Paths.h"
#include "PrintService.h"
#include "ProfileFile.h"
#include "Services.h"
#include "SystemInfo.h"
#include "WindowHost.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tarv::utility {

using namespace com;

namespace {

// The platform's profile calls take texts that end at their first NUL character.
QString upToNul(const QString& s) {
    const qsizetype nul = s.indexOf(QChar(0));
    return nul < 0 ? s : s.left(nul);
}

bool hasLineBreak(const QString& s) {
    return s.contains(QLatin1Char('\n')) || s.contains(QLatin1Char('\r'));
}

const QString kSystemProfile = QStringLiteral("win.ini");

// "queue,driver,port", the form of the default-printer entry, for a print queue.
QString entryOfQueue(const QString& queue) {
    return queue + QStringLiteral(",CUPS,lp");
}

// A folder, a FIFO or a device where a file is expected: opening a FIFO would wait for a
// writer that may never come, so such a path is refused before it is opened.
QString notAFile(const QString& path) {
    return QStringLiteral("%1: %2 non è un file").arg(standardDescription(controlError(75)), path);
}

// "scheme://..." (http, https, file, ...) and "mailto:" are addresses, handed on as they are.
bool isAddress(const QString& s) {
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+://"));
    return scheme.match(s).hasMatch() ||
           s.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive);
}

} // namespace

ShellMan::ShellMan() : DispatchObject(interfaceInfo(), progIdOf("ShellMan")) {}

const InterfaceInfo& ShellMan::interfaceInfo() {
    // Written once per process, then only read; the type library links it to itself.
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_ShellMan");
        i.iid = IID__ShellMan;
        i.members = {
            method<&_ShellMan::SetVar>("SetVar", 0x60030000,
                                       {byRef("NomeFile", VT_BSTR), byRef("Section", VT_BSTR),
                                        byRef("Variable", VT_BSTR), byVal("value", VT_BSTR)}),
            method<&_ShellMan::GetVar>(
                "GetVar", 0x60030001,
                {byRef("NomeFile", VT_BSTR), byRef("Section", VT_BSTR), byRef("Variable", VT_BSTR)},
                VT_BSTR),
            method<&_ShellMan::FindComputerName>("FindComputerName", 0x60030002, {}, VT_BSTR),
            method<&_ShellMan::FindCurrentUser>("FindCurrentUser", 0x60030003, {}, VT_BSTR),
            method<&_ShellMan::LockWindow>("LockWindow", 0x60030004, {byRef("hwnd", VT_I4)}),
            method<&_ShellMan::UnlockWindow>("UnlockWindow", 0x60030005, {}),
            method<&_ShellMan::GetDOSPathName>("GetDOSPathName", 0x60030006,
                                               {byVal("strPercorso", VT_BSTR)}, VT_BSTR),
            method<&_ShellMan::ResetDefaultPrinter>("ResetDefaultPrinter", 0x60030007, {}),
            method<&_ShellMan::GetDefaultPrinter>("GetDefaultPrinter", 0x60030008, {}, VT_BSTR),
            method<&_ShellMan::SetDefaultPrinter>("SetDefaultPrinter", 0x60030009,
                                                  {byRef("s", VT_BSTR)}),
            method<&_ShellMan::BrowseForFolder>(
                "BrowseForFolder", 0x6003000A,
                {byRef("handle", VT_I4), byVal("strTitolo", VT_BSTR)}, VT_BSTR),
            method<&_ShellMan::OpenFN>(
                "OpenFN", 0x6003000B,
                {optional(byVal("strTitoloFinestra", VT_BSTR), Variant(QString())),
                 optional(byVal("strPercorsoIniziale", VT_BSTR), Variant(QString())),
                 optional(byVal("strFiltro", VT_BSTR), Variant("Tutti i file|*.*"))},
                VT_BSTR),
            method<&_ShellMan::RemoveNullChars>("RemoveNullChars", 0x6003000C,
                                                {byVal("strString", VT_BSTR)}, VT_BSTR),
            method<&_ShellMan::SaveFN>(
                "SaveFN", 0x6003000D,
                {optional(byVal("strTitoloFinestra", VT_BSTR), Variant(QString())),
                 optional(byVal("strPercorsoIniziale", VT_BSTR), Variant(QString())),
                 optional(byRef("strFiltro", VT_BSTR), Variant("Tutti i file|*.*"))},
                VT_BSTR),
            method<&_ShellMan::OpenDocument>("OpenDocument", 0x6003000E,
                                             {byRef("hwnd", VT_I4), byRef("strDocPath", VT_BSTR)}),
            method<&_ShellMan::PrintDocument>("PrintDocument", 0x6003000F,
                                              {byRef("hwnd", VT_I4), byRef("strDocPath", VT_BSTR)}),
            method<&_ShellMan::CreaFileDiTesto>(
                "CreaFileDiTesto", 0x60030010,
                {byRef("NomeFile", VT_BSTR),
                 optional(byRef("Sovrascrivi", VT_BOOL), Variant(true))}),
            method<&_ShellMan::DyrSistema>("DyrSistema", 0x60030011, {}, VT_BSTR),
            method<&_ShellMan::FileEsiste>("FileEsiste", 0x60030012,
                                           {byRef("PercorsoFile", VT_BSTR)}, VT_BOOL),
        };
        return i;
    }();
    return info;
}

const ClassInfo& ShellMan::classInfo() {
    static const ClassInfo info{QStringLiteral("ShellMan"), CLSID_ShellMan, &interfaceInfo(),
                                nullptr, &createAndQuery<ShellMan>};
    return info;
}

HRESULT ShellMan::SetVar(QString* NomeFile, QString* Section, QString* Variable,
                         const QString& value) {
    const QString section = upToNul(*Section), key = upToNul(*Variable), text = upToNul(value);
    // A line break would write lines of its own into the file (a value "x" + line break +
    // "Nascosto=True" adds a key), so such texts are refused and the file left alone.
    if (hasLineBreak(section) || hasLineBreak(key) || hasLineBreak(text))
        return raise(controlError(5),
                     QStringLiteral("SetVar: la sezione, la chiave e il valore non possono "
                                    "contenere a capo; il file %1 non è stato modificato")
                         .arg(*NomeFile));
    if (ProfileFile::notARegularFile(*NomeFile))
        return raise(controlError(75), notAFile(Paths::inWindowsDirectory(*NomeFile)));
    if (ProfileFile::writeString(section, key, text, *NomeFile))
        HandOffClaim::noteHostWrite(*NomeFile, key);
    return S_OK;
}

HRESULT ShellMan::GetVar(QString* NomeFile, QString* Section, QString* Variable, QString* result) {
    if (ProfileFile::notARegularFile(*NomeFile))
        return raise(controlError(75), notAFile(Paths::inWindowsDirectory(*NomeFile)));
    return give(result, ProfileFile::readString(upToNul(*Section), upToNul(*Variable), QString(),
                                                *NomeFile));
}

HRESULT ShellMan::FindComputerName(QString* result) {
    return give(result, SystemInfo::computerName());
}

HRESULT ShellMan::FindCurrentUser(QString* result) {
    return give(result, SystemInfo::userName());
}

HRESULT ShellMan::LockWindow(int32_t* hwnd) {
    if (canShowWindows())
        Services::current().windows->lockWindowUpdate(*hwnd);
    return S_OK;
}

HRESULT ShellMan::UnlockWindow() {
    if (canShowWindows())
        Services::current().windows->lockWindowUpdate(0);
    return S_OK;
}

HRESULT ShellMan::GetDOSPathName(const QString& strPercorso, QString* result) {
    // Linux has no short names: every path is its own short form.
    return give(result, strPercorso);
}

HRESULT ShellMan::GetDefaultPrinter(QString* result) {
    QString entry = ProfileFile::readString(QStringLiteral("windows"), QStringLiteral("device"),
                                            QStringLiteral("?"), kSystemProfile);
    if (entry == QLatin1String("?")) {
        const QString queue = PrintService::defaultQueue();
        if (!queue.isEmpty())
            entry = entryOfQueue(queue);
    }
    return give(result, entry);
}

HRESULT ShellMan::SetDefaultPrinter(QString* s) {
    GetDefaultPrinter(&SavedPrinter);
    if (s->isEmpty())
        return S_OK;
    const QString entry = upToNul(*s);
    if (hasLineBreak(entry))
        return S_OK; // ends silently, as every error here does
    EventPump& pump = *Services::current().pump;
    ProfileFile::writeString(QStringLiteral("windows"), QStringLiteral("device"), std::nullopt,
                             kSystemProfile);
    pump.pump();
    ProfileFile::writeString(QStringLiteral("windows"), QStringLiteral("device"), entry,
                             kSystemProfile);
    pump.pump();
    return S_OK;
}

HRESULT ShellMan::ResetDefaultPrinter() {
    QString saved = SavedPrinter;
    return SetDefaultPrinter(&saved);
}

HRESULT ShellMan::BrowseForFolder(int32_t* handle, const QString& strTitolo, QString* result) {
    if (!canShowWindows())
        return raise(controlError(5), noWindowDescription());
    FileDialogRequest r;
    r.kind = FileDialogRequest::Folder;
    r.owner = ownerWindow(*handle);
    r.title = strTitolo;
    return give(result, Services::current().fileDialogs->choose(r));
}

HRESULT ShellMan::OpenFN(const QString& strTitoloFinestra, const QString& strPercorsoIniziale,
                         const QString& strFiltro, QString* result) {
    if (!canShowWindows())
        return raise(controlError(5), noWindowDescription());
    FileDialogRequest r;
    r.kind = FileDialogRequest::Open;
    r.owner = ownerWindow();
    r.filter = strFiltro;
    r.title = strTitoloFinestra;
    r.initialDirectory = strPercorsoIniziale;
    return give(result, Services::current().fileDialogs->choose(r));
}

HRESULT ShellMan::RemoveNullChars(const QString& strString, QString* result) {
    QString s = strString;
    s.remove(QChar(0));
    return give(result, s);
}

HRESULT ShellMan::SaveFN(const QString& strTitoloFinestra, const QString& strPercorsoIniziale,
                         QString* strFiltro, QString* result) {
    if (!canShowWindows())
        return raise(controlError(5), noWindowDescription());
    FileDialogRequest r;
    r.kind = FileDialogRequest::Save;
    r.owner = ownerWindow();
    r.filter = *strFiltro;
    r.title = strTitoloFinestra;
    r.initialDirectory = strPercorsoIniziale;
    // The caller's variable keeps the filter as the dialog took it: NULs for the bars, and
    // one more NUL at the end.
    strFiltro->replace(QLatin1Char('|'), QChar(0));
    strFiltro->append(QChar(0));
    return give(result, Services::current().fileDialogs->choose(r));
}

QString ShellMan::parentFolder(const QString& path) {
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : p.left(slash);
}

HRESULT ShellMan::OpenDocument(int32_t*, QString* strDocPath) {
    // A path is made absolute against the caller's folder before the opener runs in the
    // document's own folder; an address goes to the opener unchanged, from the caller's folder.
    const bool address = isAddress(*strDocPath);
    const QString target =
        address || strDocPath->isEmpty() ? *strDocPath : QFileInfo(*strDocPath).absoluteFilePath();
    const QString opener = QStringLiteral("xdg-open");
    if (!Services::current().processes->startDetached(opener, {target},
                                                      address ? QString() : parentFolder(target)))
        return raise(controlError(75),
                     QStringLiteral("%1: impossibile avviare %2 per %3")
                         .arg(standardDescription(controlError(75)), opener, *strDocPath));
    return S_OK;
}

HRESULT ShellMan::PrintDocument(int32_t*, QString* strDocPath) {
    // The default-printer entry names the queue; the print service's default otherwise.
    const QString entry = ProfileFile::readString(
        QStringLiteral("windows"), QStringLiteral("device"), QString(), kSystemProfile);
    const QString queue = entry.section(QLatin1Char(','), 0, 0).trimmed();
    PrintService::print(*strDocPath, queue == QLatin1String("?") ? QString() : queue,
                        parentFolder(*strDocPath));
    return S_OK;
}

HRESULT ShellMan::CreaFileDiTesto(QString* NomeFile, VARIANT_BOOL* Sovrascrivi) {
    // Without overwrite the file is created only if absent, in one step, so an existing
    // file is never truncated.
    // A path that is there but is no file fails at once: a FIFO would hold the open until a
    // reader came, a device would be "emptied". The open itself does not wait either, and looks
    // again at what it opened.
    const QByteArray name = QFile::encodeName(*NomeFile);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
        return raise(controlError(75), notAFile(*NomeFile));
    const int flags =
        O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (*Sovrascrivi ? 0 : O_EXCL);
    const int fd = ::open(name.constData(), flags, 0666);
    if (fd >= 0) {
        const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
        const bool emptied = regular && (!*Sovrascrivi || ::ftruncate(fd, 0) == 0);
        const int error = errno;
        ::close(fd);
        errno = error;
        if (!regular)
            return raise(controlError(75), notAFile(*NomeFile));
        if (emptied)
            return S_OK;
    }
    int number = 75;
    switch (errno) {
    case EEXIST:
        number = 58;
        break;
    case ENOENT:
    case ENOTDIR:
        number = 76;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        number = 70;
        break;
    }
    return raise(controlError(number), QStringLiteral("%1: %2").arg(
                                           standardDescription(controlError(number)), *NomeFile));
}

HRESULT ShellMan::DyrSistema(QString* result) {
    return give(result, Paths::systemDirectory() + QLatin1Char('/'));
}

HRESULT ShellMan::FileEsiste(QString* PercorsoFile, VARIANT_BOOL* result) {
    return give(result,
                toVariantBool(!PercorsoFile->isEmpty() && QFileInfo::exists(*PercorsoFile)));
}

} // namespace tarv::utility
