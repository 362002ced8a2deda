#pragma once

#include "Dispatch.h"
#include "GzipFile.h"
#include "ZlibToolInterfaces.h"

#include <QPointer>

#include <QProgressBar>

namespace tarv::zlibtool {

class ZlibTool final : public com::DispatchObject<IZlibTool> {
public:
    ZlibTool();
    static const com::InterfaceInfo& interfaceInfo();
    static const com::ClassInfo& classInfo();

    HRESULT get_InputFile(QString* result) override;
    HRESULT put_InputFile(const QString& value) override;
    HRESULT get_OutputFile(QString* result) override;
    HRESULT put_OutputFile(const QString& value) override;
    HRESULT get_Status(QString* result) override;
    HRESULT get_CompressionLevel(int32_t* result) override;
    HRESULT put_CompressionLevel(int32_t value) override;
    HRESULT Compress() override;
    HRESULT Decompress() override;
    HRESULT get_hWnd(int32_t* result) override;

    QProgressBar* face() const { return m_face.data(); }

private:
    ~ZlibTool() override;
    enum class Job { Compress, Decompress };
    HRESULT run(Job job);

    QString m_input;
    QString m_output;
    QString m_status;
    int32_t m_level = -1;
    bool m_busy = false;
    QPointer<QProgressBar> m_face;
};

const com::TypeLibInfo& typeLibrary();

} // namespace tarv::zlibtool
