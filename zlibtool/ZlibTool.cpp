#include "ZlibTool.h"

#include "EventPump.h"
#include "Services.h"

#include <QApplication>
#include <QLocale>
#include <QProgressBar>
#include <QThread>

#include <chrono>
#include <future>

namespace tarv::zlibtool {

using namespace com;

namespace {

constexpr int kBarRange = 1000;

// The face exists only where widgets may be made: in a GUI host, on its GUI thread.
bool canHaveFace() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    return app && QThread::currentThread() == app->thread();
}

QString bytes(qint64 n) {
    return QLocale::system().toString(n) + QStringLiteral(" byte");
}

QString percent(double value) {
    return QLocale::system().toString(value, 'f', 1) + QLatin1Char('%');
}

} // namespace

ZlibTool::ZlibTool() : DispatchObject(interfaceInfo(), QStringLiteral("ZLIBTOOLLib.ZlibTool")) {
    if (canHaveFace()) {
        m_face = new QProgressBar;
        m_face->setObjectName(QStringLiteral("ZlibTool"));
        m_face->setRange(0, kBarRange);
        m_face->setValue(0);
        m_face->setTextVisible(false);
    }
}

ZlibTool::~ZlibTool() {
    // A host that placed the face in its window owns it from then on.
    if (m_face && !m_face->parent())
        delete m_face.data();
}

const InterfaceInfo& ZlibTool::interfaceInfo() {
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("IZlibTool");
        i.iid = IID_IZlibTool;
        i.members = {
            propertyGet<&IZlibTool::get_InputFile>("InputFile", 1, VT_BSTR),
            propertyPut<&IZlibTool::put_InputFile>("InputFile", 1, VT_BSTR),
            propertyGet<&IZlibTool::get_OutputFile>("OutputFile", 2, VT_BSTR),
            propertyPut<&IZlibTool::put_OutputFile>("OutputFile", 2, VT_BSTR),
            propertyGet<&IZlibTool::get_Status>("Status", 3, VT_BSTR),
            propertyGet<&IZlibTool::get_CompressionLevel>("CompressionLevel", 4, VT_I4),
            propertyPut<&IZlibTool::put_CompressionLevel>("CompressionLevel", 4, VT_I4),
            method<&IZlibTool::Compress>("Compress", 5, {}),
            method<&IZlibTool::Decompress>("Decompress", 6, {}),
            hidden(propertyGet<&IZlibTool::get_hWnd>("hWnd", DISPID_HWND, VT_I4)),
        };
        return i;
    }();
    return info;
}

const ClassInfo& ZlibTool::classInfo() {
    static const ClassInfo info{QStringLiteral("ZlibTool"), CLSID_ZlibTool, &interfaceInfo(),
                                nullptr, &createAndQuery<ZlibTool>};
    return info;
}

HRESULT ZlibTool::get_InputFile(QString* result) {
    return give(result, m_input);
}

HRESULT ZlibTool::put_InputFile(const QString& value) {
    m_input = value;
    return S_OK;
}

HRESULT ZlibTool::get_OutputFile(QString* result) {
    return give(result, m_output);
}

HRESULT ZlibTool::put_OutputFile(const QString& value) {
    m_output = value;
    return S_OK;
}

HRESULT ZlibTool::get_Status(QString* result) {
    return give(result, m_status);
}

HRESULT ZlibTool::get_CompressionLevel(int32_t* result) {
    return give(result, m_level);
}

HRESULT ZlibTool::put_CompressionLevel(int32_t value) {
    if (value != -1 && (value < 1 || value > 9))
        return raise(controlError(380),
                     QStringLiteral("Valore della proprietà non valido: il livello di "
                                    "compressione va da 1 a 9 (-1 per il livello predefinito)"));
    m_level = value;
    return S_OK;
}

HRESULT ZlibTool::Compress() {
    return run(Job::Compress);
}

HRESULT ZlibTool::Decompress() {
    return run(Job::Decompress);
}

HRESULT ZlibTool::get_hWnd(int32_t* result) {
    return give(result, m_face ? int32_t(m_face->winId()) : 0);
}

HRESULT ZlibTool::run(Job job) {
    if (m_busy)
        return raise(controlError(5),
                     QStringLiteral("Operazione già in corso: attendere che finisca"));
    if (m_input.isEmpty() || m_output.isEmpty())
        return raise(controlError(52),
                     m_input.isEmpty()
                         ? QStringLiteral("Nome di file non valido: manca il file da leggere")
                         : QStringLiteral("Nome di file non valido: manca il file da scrivere"));
    // The host may release the control from inside the event pump below.
    AddRef();
    m_busy = true;
    if (m_face)
        m_face->setValue(0);

    GzipProgress progress;
    const QString input = m_input, output = m_output;
    const int level = m_level;
    std::future<GzipResult> work =
        std::async(std::launch::async, [&progress, input, output, level, job] {
            return job == Job::Compress ? compressFile(input, output, level, 0, &progress)
                                        : expandFile(input, output, &progress);
        });
    // The caller waits here, but its window keeps painting and the bar keeps moving.
    EventPump* pump = Services::current().pump;
    while (work.wait_for(std::chrono::milliseconds(15)) != std::future_status::ready) {
        if (m_face) {
            const qint64 total = progress.total;
            m_face->setValue(total > 0 ? int(progress.done * kBarRange / total) : 0);
        }
        if (pump)
            pump->pump();
    }
    const GzipResult r = work.get();
    m_busy = false;

    HRESULT hr = S_OK;
    if (r.ok()) {
        if (m_face)
            m_face->setValue(kBarRange);
        // Short enough for the status strip of the compression windows.
        const qint64 compressed = job == Job::Compress ? r.outBytes : r.inBytes;
        const qint64 plain = job == Job::Compress ? r.inBytes : r.outBytes;
        m_status = (job == Job::Compress ? QStringLiteral("Compresso: %1 in %2")
                                         : QStringLiteral("Decompresso: %1 in %2"))
                       .arg(bytes(r.inBytes), bytes(r.outBytes));
        if (plain > 0)
            m_status += QStringLiteral(" (%1)").arg(percent(100.0 * compressed / plain));
    } else {
        if (m_face)
            m_face->setValue(0);
        m_status = QStringLiteral("Errore %1: %2").arg(r.number).arg(r.description);
        hr = raise(controlError(r.number), r.description);
    }
    Release();
    return hr;
}

const TypeLibInfo& typeLibrary() {
    static const TypeLibInfo lib = [] {
        TypeLibInfo l;
        l.name = QStringLiteral("ZLIBTOOLLib");
        l.libid = LIBID_ZLIBTOOLLib;
        l.major = 1;
        l.minor = 0;
        l.classes = {&ZlibTool::classInfo()};
        return l;
    }();
    static const bool linked = [] {
        const_cast<InterfaceInfo&>(ZlibTool::interfaceInfo()).typeLib = &lib;
        return true;
    }();
    (void)linked;
    return lib;
}

} // namespace tarv::zlibtool
