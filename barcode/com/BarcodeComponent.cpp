#include "BarcodeComponent.h"

#include <QApplication>

namespace tarv::barcode {

using namespace com;

namespace {

// A put's parameter carries the name the interface gives it.
MemberInfo named(MemberInfo m, const char* parameter) {
    m.params.front().name = QString::fromUtf8(parameter);
    return m;
}

} // namespace

BarcodeComponent::BarcodeComponent()
    : DispatchObject(interfaceInfo(), QStringLiteral("TarvBarcode.ctlBarcode")),
      m_control(new ctlBarcode) {}

BarcodeComponent::~BarcodeComponent() {
    // A host may have given the widget a parent window, which then owns it.
    if (m_control && !m_control->parent())
        delete m_control.data();
}

const InterfaceInfo& BarcodeComponent::interfaceInfo() {
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("_ctlBarcode");
        i.iid = IID__ctlBarcode;
        i.members = {
            propertyGet<&_ctlBarcode::get_TipoCodice>("TipoCodice", 0x68030004, VT_I2),
            named(propertyPut<&_ctlBarcode::put_TipoCodice>("TipoCodice", 0x68030004, VT_I2),
                  "intNewValue"),
            propertyGet<&_ctlBarcode::get_Codice>("Codice", 0x68030003, VT_BSTR),
            named(propertyPut<&_ctlBarcode::put_Codice>("Codice", 0x68030003, VT_BSTR),
                  "strNewValue"),
            method<&_ctlBarcode::DisegnaCodice>("DisegnaCodice", 0x60030005, {}),
            propertyGet<&_ctlBarcode::get_MostraTesto>("MostraTesto", 0x68030002, VT_BOOL),
            named(propertyPut<&_ctlBarcode::put_MostraTesto>("MostraTesto", 0x68030002, VT_BOOL),
                  "blnNewValue"),
            propertyGet<&_ctlBarcode::get_Allineamento>("Allineamento", 0x68030001, VT_I2),
            named(propertyPut<&_ctlBarcode::put_Allineamento>("Allineamento", 0x68030001, VT_I2),
                  "intNewValue"),
            propertyGet<&_ctlBarcode::get_Spessore>("Spessore", 0x68030000, VT_I2),
            named(propertyPut<&_ctlBarcode::put_Spessore>("Spessore", 0x68030000, VT_I2),
                  "intValue"),
        };
        return i;
    }();
    return info;
}

const InterfaceInfo& BarcodeComponent::eventInterface() {
    static InterfaceInfo info = [] {
        InterfaceInfo i;
        i.name = QStringLiteral("__ctlBarcode");
        i.iid = DIID___ctlBarcode;
        i.dual = false;
        return i;
    }();
    return info;
}

const ClassInfo& BarcodeComponent::classInfo() {
    static const ClassInfo info{QStringLiteral("ctlBarcode"), CLSID_ctlBarcode, &interfaceInfo(),
                                &eventInterface(), &BarcodeComponent::create};
    return info;
}

HRESULT BarcodeComponent::create(REFIID riid, void** ppv) {
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return fail(
            E_FAIL,
            QStringLiteral("Il controllo TarvBarcode.ctlBarcode è una finestra: il programma "
                           "che lo crea deve avere un'applicazione grafica (QApplication)"),
            QStringLiteral("TarvBarcode.ctlBarcode"));
    return createAndQuery<BarcodeComponent>(riid, ppv);
}

HRESULT BarcodeComponent::outcome(const BarcodeStatus& status) const {
    if (status)
        return S_OK;
    return raise(controlError(status.number), status.description);
}

HRESULT BarcodeComponent::gone() const {
    // The host destroyed the widget it had taken over; there is nothing left to draw on.
    return raise(controlError(91), QStringLiteral("Variabile oggetto o variabile del blocco With "
                                                  "non impostata"));
}

HRESULT BarcodeComponent::get_TipoCodice(int16_t* result) {
    if (!m_control)
        return gone();
    *result = m_control->TipoCodice();
    return S_OK;
}

HRESULT BarcodeComponent::put_TipoCodice(int16_t intNewValue) {
    return m_control ? outcome(m_control->setTipoCodice(intNewValue)) : gone();
}

HRESULT BarcodeComponent::get_Codice(QString* result) {
    if (!m_control)
        return gone();
    *result = m_control->Codice();
    return S_OK;
}

HRESULT BarcodeComponent::put_Codice(const QString& strNewValue) {
    return m_control ? outcome(m_control->setCodice(strNewValue)) : gone();
}

HRESULT BarcodeComponent::DisegnaCodice() {
    return m_control ? outcome(m_control->DisegnaCodice()) : gone();
}

HRESULT BarcodeComponent::get_MostraTesto(VARIANT_BOOL* result) {
    if (!m_control)
        return gone();
    *result = m_control->MostraTesto() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT BarcodeComponent::put_MostraTesto(VARIANT_BOOL blnNewValue) {
    return m_control ? outcome(m_control->setMostraTesto(blnNewValue != VARIANT_FALSE)) : gone();
}

HRESULT BarcodeComponent::get_Allineamento(int16_t* result) {
    if (!m_control)
        return gone();
    *result = m_control->Allineamento();
    return S_OK;
}

HRESULT BarcodeComponent::put_Allineamento(int16_t intNewValue) {
    return m_control ? outcome(m_control->setAllineamento(intNewValue)) : gone();
}

HRESULT BarcodeComponent::get_Spessore(int16_t* result) {
    if (!m_control)
        return gone();
    *result = m_control->Spessore();
    return S_OK;
}

HRESULT BarcodeComponent::put_Spessore(int16_t intValue) {
    return m_control ? outcome(m_control->setSpessore(intValue)) : gone();
}

const TypeLibInfo& typeLibrary() {
    static const TypeLibInfo lib = [] {
        TypeLibInfo l;
        l.name = QStringLiteral("TarvBarcode");
        l.libid = LIBID_TarvBarcode;
        l.major = TarvBarcodeVersionMajor;
        l.minor = TarvBarcodeVersionMinor;
        l.classes = {&BarcodeComponent::classInfo()};
        l.eventInterfaces = {&BarcodeComponent::eventInterface()};
        return l;
    }();
    static const bool linked = [] {
        const_cast<InterfaceInfo&>(BarcodeComponent::interfaceInfo()).typeLib = &lib;
        const_cast<InterfaceInfo&>(BarcodeComponent::eventInterface()).typeLib = &lib;
        return true;
    }();
    (void)linked;
    return lib;
}

} // namespace tarv::barcode
