#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace tarv::fuzz {

namespace {
QTemporaryDir* g_windir = nullptr;
}

void setUpProcess(int* argc, char*** argv, bool gui) {
    // In memory where the system has it: the stores commit to disk on every write, and a
    // target that writes on each input would otherwise measure the disk.
    static QTemporaryDir windir(QDir(QStringLiteral("/dev/shm")).exists()
                                    ? QStringLiteral("/dev/shm/tarv-fuzz-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/tarv-fuzz-XXXXXX"));
    g_windir = &windir;
    qputenv("TARV_WINDIR", windir.path().toLocal8Bit());
    if (gui) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(*argc, *argv);
    } else {
        new QCoreApplication(*argc, *argv);
    }
}

QString windowsDirectory() {
    return g_windir ? g_windir->path() : QString();
}

std::vector<QByteArray> fields(const uint8_t* data, size_t size, size_t count) {
    std::vector<QByteArray> out;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    while (out.size() + 1 < count) {
        const char* nul = static_cast<const char*>(memchr(p, 0, size_t(end - p)));
        if (!nul)
            break;
        out.emplace_back(p, qsizetype(nul - p));
        p = nul + 1;
    }
    out.emplace_back(p, qsizetype(end - p));
    out.resize(count);
    return out;
}

} // namespace tarv::fuzz
