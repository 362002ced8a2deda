#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QTemporaryDir>

namespace tarv::fuzz {

namespace {
QTemporaryDir* g_windir = nullptr;
}

void setUpProcess(int* argc, char*** argv, bool gui) {
    static QTemporaryDir windir;
    g_windir = &windir;
    qputenv("TARV_WINDIR", windir.path().toLocal8Bit());
    if (gui) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QGuiApplication(*argc, *argv);
    } else {
        new QCoreApplication(*argc, *argv);
    }
}

QString windowsDirectory() { return g_windir ? g_windir->path() : QString(); }

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
