#pragma once

// ZLIBTOOLLib.ZlibTool, the compression control: gzip files on zlib. Hosts set the source
// (dispatch id 1) and the destination (2), call Compress (5) or Decompress (6), and read the
// outcome from Status (3). CompressionLevel (4) is zlib's level, 1 to 9, or -1 for zlib's
// default. A failed method reports the error's number and an Italian description; the
// destination is then left exactly as it was.
//
// In a host running a QApplication, on its GUI thread, the control has a face: a progress bar
// that follows the running method. Its window handle (hWnd, the platform's reserved dispatch
// id for it) finds the widget with QWidget::find, so a host places it in its own window.

#include "ComTypes.h"
#include "Interfaces.h"

namespace tarv::zlibtool {

using com::HRESULT;
using com::IDispatch;

inline constexpr com::GUID LIBID_ZLIBTOOLLib =
    com::makeGuid("{4BEF60B1-3DBF-4A25-9752-7AFDAB3AEB12}");
inline constexpr com::CLSID CLSID_ZlibTool =
    com::makeGuid("{02C8F046-FE4D-4110-97FE-A4EF8015B1B6}");
inline constexpr com::IID IID_IZlibTool = com::makeGuid("{E0281369-E39D-46F5-8B04-0A830FF6DFAD}");

inline constexpr com::DISPID DISPID_HWND = -515;

class IZlibTool : public IDispatch {
public:
    virtual HRESULT get_InputFile(QString* result) = 0;
    virtual HRESULT put_InputFile(const QString& value) = 0;
    virtual HRESULT get_OutputFile(QString* result) = 0;
    virtual HRESULT put_OutputFile(const QString& value) = 0;
    virtual HRESULT get_Status(QString* result) = 0;
    virtual HRESULT get_CompressionLevel(int32_t* result) = 0;
    virtual HRESULT put_CompressionLevel(int32_t value) = 0;
    virtual HRESULT Compress() = 0;
    virtual HRESULT Decompress() = 0;
    virtual HRESULT get_hWnd(int32_t* result) = 0;

protected:
    ~IZlibTool() = default;
};

} // namespace tarv::zlibtool
