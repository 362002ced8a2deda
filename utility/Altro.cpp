#include "Altro.h"

#include "TypeLibrary.h"

#include "ComPtr.h"
#include "EventPump.h"
#include "GuiPlatform.h"
#include "HandOffClaim.h"
#include "HandOffText.h"
#include "MessageBoxes.h"
#include "Paths.h"
#include "ProfileFile.h"
#include "Services.h"
#include "SessionControl.h"
#include "ShellMan.h"
#include "SystemInfo.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>

#include <sys/stat.h>
#include <unistd.h>

namespace tarv::utility {

using namespace com;

namespace {

// Held for the whole of one hand-off; another writer's waits. Nothing is held when the
// folder cannot take the lock file (the write then fails on its own).
class HandOffLock {
public:
    explicit HandOffLock(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (m_fd >= 0)
            while (::flock(m_fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~HandOffLock() {
        if (m_fd >= 0)
            ::close(m_fd);
    }

private:
    int m_fd;
};

// Writes the whole file in one step, through a file beside it; the errno of a failure, or 0.
int writeWhole(const QString& path, const QByteArray& bytes, mode_t mode) {
    QByteArray temporary =
        QFile::encodeName(QFileInfo(path).absolutePath()) + "/.Default.ini.XXXXXX";
    int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return errno;
    const auto failed = [&](int e) {
        if (fd >= 0)
            ::close(fd);
        ::unlink(temporary.constData());
        return e;
    };
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            return failed(errno);
        done += n > 0 ? n : 0;
    }
    // A full disk may show only when the data goes to it.
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        return failed(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0 || ::rename(temporary.constData(), QFile::encodeName(path).constData()) != 0)
        return failed(errno);
    return 0;
}

// Texts end at a NUL character, as the profile functions always took them.
QString upToNul(const QString& s) {
    const qsizetype end = s.indexOf(QChar(0));
    return end < 0 ? s : s.left(end);
}

int errorNumber(int e) {
    switch (e) {
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return 61;
    case EACCES:
    case EPERM:
    case EROFS:
        return 70;
    case ENOENT:
    case ENOTDIR:
        return 76;
    default:
        return 75;
    }
}

// Waits until the mailer took the file written (it moves it away as it starts): "" then, else
// why not, with %1 for the mailer and %2 for the file.
QString waitUntilTaken(const struct stat& written, const QByteArray& fileName, qint64 pid) {
    if (pid <= 0)
        return QString(); // no process to watch
    constexpr qint64 kLimitMs = 60000;
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        struct stat now {};
        if (::stat(fileName.constData(), &now) != 0 || now.st_ino != written.st_ino ||
            now.st_dev != written.st_dev || now.st_ctim.tv_sec != written.st_ctim.tv_sec ||
            now.st_ctim.tv_nsec != written.st_ctim.tv_nsec)
            return QString();
        if (!HandOffClaim::processRunning(pid))
            return QStringLiteral("%1 è terminato senza prendere il messaggio di %2");
        if (timer.elapsed() > kLimitMs)
            return QStringLiteral("%1 non ha preso il messaggio di %2 entro 60 secondi");
        Services::current().pump->pump();
        QThread::msleep(5);
    }
}

} // namespace

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
    const QString file = dir + QStringLiteral("Default.ini");
    const QByteArray fileName = QFile::encodeName(file);
    // The user's own mailer (a per-user install), else the one installed for every user.
    QString program = dir + QStringLiteral("velinor");
    if (const QString shared = Paths::installedProgramsDirectory() + QStringLiteral("/velinor");
        !QFileInfo(program).isFile() && QFileInfo(shared).isFile())
        program = shared;
    const auto fail = [this](int number, const QString& why) {
        return raise(controlError(number), QStringLiteral("Invia_File: %1").arg(why));
    };

    // One hand-off at a time: a second host's message waits until the mailer took this one.
    const HandOffLock lock(HandOffClaim::lockPath(file));

    // The file as it will be: the four keys (and the whole text) of this message, over
    // whatever else the host wrote there. Flags left by an earlier run that a mailer gave back
    // unsent are not this message's, unless the host wrote them again.
    struct stat old {};
    const bool exists = ::stat(fileName.constData(), &old) == 0;
    QByteArray text;
    if (exists) {
        QFile in(file);
        if (!(old.st_mode & S_IWUSR) || !in.open(QIODevice::ReadOnly))
            return fail(70, QStringLiteral("%1: %2; nulla è stato avviato")
                                .arg(standardDescription(controlError(70)), file));
        text = in.readAll();
    }
    const QByteArray dati("Dati");
    for (const QString& stale : HandOffClaim::staleKeys(file))
        text = ProfileFile::edited(text, dati, stale.toUtf8(), std::nullopt);
    const HandOffText body = HandOffText::encode(*Testo);
    const std::pair<const char*, QString> entries[] = {{"Allegato", *FileDaInviare},
                                                       {"Dest", *Dest},
                                                       {"Subject", *Soggetto},
                                                       {"Testo", body.firstLine}};
    for (const auto& [key, value] : entries)
        text = ProfileFile::edited(text, dati, QByteArray(key), upToNul(value).toUtf8());
    // The whole text, when it has more than one line; a one-line text leaves no stale whole
    // text of an earlier hand-off behind.
    text = ProfileFile::edited(text, dati, HandOffText::wholeKey().toUtf8(),
                               body.whole ? std::optional(body.whole->toUtf8()) : std::nullopt);

    // A mailer that must show its window cannot start where there is no display: that is
    // said now rather than after a start that dies unseen.
    const auto flag = [&](const char* key) {
        return ProfileFile::lookup(text, dati, key).value_or(QByteArray()) == "True";
    };
    if (!(flag("Nascosto") && flag("Esci"))) {
        const GuiPlatform screen = GuiPlatform::find();
        if (!screen.available())
            return fail(5, QStringLiteral("Velinor non potrebbe mostrare la sua finestra (%1): per "
                                          "una spedizione senza finestra scrivere prima "
                                          "Nascosto=True ed Esci=True in %2; nulla è stato "
                                          "scritto")
                               .arg(screen.problem.isEmpty() ? QStringLiteral("nessuno schermo")
                                                             : screen.problem,
                                    file));
    }

    // The mailer trusts only a hand-off file that no one else can write, in a folder where no
    // one else can replace it; the system directory is ours, made under the user's umask.
    struct stat folder {};
    const QByteArray folderName = QFile::encodeName(dir);
    if (::stat(folderName.constData(), &folder) == 0 && folder.st_uid == ::geteuid() &&
        (folder.st_mode & (S_IWGRP | S_IWOTH)) && !(folder.st_mode & S_ISVTX))
        ::chmod(folderName.constData(), folder.st_mode & 07755);

    // A folder or a file without its owner's write permission is read-only, for root as well.
    const mode_t mode = exists ? (old.st_mode & 07755) : 0644;
    const int e = ::stat(folderName.constData(), &folder) == 0 && !(folder.st_mode & S_IWUSR)
                      ? EACCES
                      : writeWhole(file, text, mode);
    if (e)
        return fail(errorNumber(e),
                    QStringLiteral("%1: %2; nulla è stato avviato")
                        .arg(standardDescription(controlError(errorNumber(e))), file));
    HandOffClaim::forgetStaleKeys(file);
    struct stat written {};
    ::stat(fileName.constData(), &written);

    const QFileInfo installed(program);
    qint64 pid = 0;
    const int failure = !installed.isFile()                                                     ? 53
                        : !installed.isExecutable()                                             ? 70
                        : !Services::current().processes->startDetached(program, {}, dir, &pid) ? 75
                                                                                                : 0;
    if (failure)
        return fail(failure, QStringLiteral("%1: %2").arg(
                                 standardDescription(controlError(failure)), program));
    // The mailer takes the file as it starts: until then a host's next write would land in
    // this message.
    const QString notTaken = waitUntilTaken(written, fileName, pid);
    if (!notTaken.isEmpty())
        return fail(75, notTaken.arg(program, file));
    return S_OK;
}

} // namespace tarv::utility
