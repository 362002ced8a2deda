#include "TarvUtilityForm.h"

#include "Dispatch.h"

#include <QPointer>
#include <QWidget>

namespace tarv::utility {

using namespace com;

namespace {

constexpr IID IID__Form = makeGuid("{FA300F46-617E-4E11-8BAC-5C2CC6F0A5B5}");

class _Form : public IDispatch {
public:
    virtual HRESULT get_hwnd(int32_t* result) = 0;

protected:
    ~_Form() = default;
};

class FormObject final : public DispatchObject<_Form> {
public:
    explicit FormObject(QWidget* window)
        : DispatchObject(interfaceInfo(), QStringLiteral("TarvUtility.Form")), m_window(window) {}

    static const InterfaceInfo& interfaceInfo() {
        static InterfaceInfo info = [] {
            InterfaceInfo i;
            i.name = QStringLiteral("_Form");
            i.iid = IID__Form;
            i.members = {propertyGet<&_Form::get_hwnd>("hwnd", 0x68030000, VT_I4)};
            return i;
        }();
        return info;
    }

    HRESULT get_hwnd(int32_t* result) override {
        return give(result, m_window ? int32_t(m_window->winId()) : 0);
    }

private:
    QPointer<QWidget> m_window;
};

} // namespace

IDispatch* formObject(QWidget* window) {
    IDispatch* d = nullptr;
    createAndQuery<FormObject>(IID_IDispatch, reinterpret_cast<void**>(&d), window);
    return d;
}

} // namespace tarv::utility
