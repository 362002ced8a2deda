#include "ErrorInfo.h"

#include "Interfaces.h"

namespace tarv::com {

namespace {
thread_local ErrorInfo t_error;

// The Basic errors of the control facility that the automation layer raises.
QString basicText(int number) {
    switch (number) {
    case 5:
        return QStringLiteral("Chiamata di routine o argomento non validi");
    case 6:
        return QStringLiteral("Overflow");
    case 7:
        return QStringLiteral("Memoria esaurita");
    case 9:
        return QStringLiteral("Indice non compreso nell'intervallo");
    case 11:
        return QStringLiteral("Divisione per zero");
    case 13:
        return QStringLiteral("Tipo non corrispondente");
    case 53:
        return QStringLiteral("Impossibile trovare il file");
    case 58:
        return QStringLiteral("File già esistente");
    case 61:
        return QStringLiteral("Disco pieno");
    case 70:
        return QStringLiteral("Autorizzazione negata");
    case 75:
        return QStringLiteral("Errore di accesso al percorso/file");
    case 76:
        return QStringLiteral("Impossibile trovare il percorso");
    case 91:
        return QStringLiteral("Variabile oggetto o variabile del blocco With non impostata");
    case 94:
        return QStringLiteral("Utilizzo non valido di Null");
    case 429:
        return QStringLiteral("Il componente ActiveX non può creare l'oggetto");
    case 438:
        return QStringLiteral("Proprietà o metodo non supportati dall'oggetto");
    case 445:
        return QStringLiteral("Azione non supportata dall'oggetto");
    case 448:
        return QStringLiteral("Argomento predefinito non trovato");
    case 449:
        return QStringLiteral("Argomento non facoltativo");
    case 450:
        return QStringLiteral("Numero di argomenti errato o assegnazione di proprietà non valida");
    default:
        return QString();
    }
}
} // namespace

int basicErrorNumber(HRESULT code) {
    if ((uint32_t(code) & 0xFFFF0000u) == 0x800A0000u)
        return int(uint32_t(code) & 0xFFFF);
    switch (code) {
    case DISP_E_TYPEMISMATCH:
        return 13;
    case DISP_E_OVERFLOW:
        return 6;
    case DISP_E_DIVBYZERO:
        return 11;
    case DISP_E_BADINDEX:
        return 9;
    case DISP_E_PARAMNOTOPTIONAL:
        return 449;
    case DISP_E_BADPARAMCOUNT:
        return 450;
    case DISP_E_MEMBERNOTFOUND:
    case DISP_E_UNKNOWNNAME:
        return 438;
    case DISP_E_NONAMEDARGS:
        return 446;
    case DISP_E_PARAMNOTFOUND:
        return 448;
    case DISP_E_BADVARTYPE:
        return 458;
    case E_OUTOFMEMORY:
        return 7;
    case E_INVALIDARG:
        return 5;
    case E_NOINTERFACE:
        return 430;
    case REGDB_E_CLASSNOTREG:
    case CO_E_CLASSSTRING:
    case CO_E_DLLNOTFOUND:
    case CO_E_ERRORINDLL:
        return 429;
    default:
        return code;
    }
}

int ErrorInfo::basicNumber() const {
    return basicErrorNumber(number);
}

QString standardDescription(HRESULT code) {
    if ((uint32_t(code) & 0xFFFF0000u) == 0x800A0000u)
        return basicText(int(uint32_t(code) & 0xFFFF));
    switch (code) {
    case E_NOTIMPL:
        return QStringLiteral("Non implementato");
    case E_NOINTERFACE:
        return QStringLiteral("Interfaccia non supportata");
    case E_POINTER:
        return QStringLiteral("Puntatore non valido");
    case E_ABORT:
        return QStringLiteral("Operazione interrotta");
    case E_FAIL:
        return QStringLiteral("Errore non specificato");
    case E_UNEXPECTED:
        return QStringLiteral("Errore irreversibile");
    case E_ACCESSDENIED:
        return QStringLiteral("Accesso negato");
    case E_OUTOFMEMORY:
        return QStringLiteral("Memoria insufficiente per completare l'operazione");
    case E_INVALIDARG:
        return QStringLiteral("Parametro non corretto");
    case DISP_E_UNKNOWNINTERFACE:
        return QStringLiteral("Interfaccia sconosciuta");
    case DISP_E_MEMBERNOTFOUND:
        return QStringLiteral("Membro non trovato");
    case DISP_E_PARAMNOTFOUND:
        return QStringLiteral("Parametro non trovato");
    case DISP_E_TYPEMISMATCH:
        return QStringLiteral("Tipo non corrispondente");
    case DISP_E_UNKNOWNNAME:
        return QStringLiteral("Nome sconosciuto");
    case DISP_E_NONAMEDARGS:
        return QStringLiteral("Nessun argomento denominato");
    case DISP_E_BADVARTYPE:
        return QStringLiteral("Tipo di variabile non valido");
    case DISP_E_EXCEPTION:
        return QStringLiteral("Eccezione");
    case DISP_E_OVERFLOW:
        return QStringLiteral("Overflow");
    case DISP_E_BADINDEX:
        return QStringLiteral("Indice non valido");
    case DISP_E_BADPARAMCOUNT:
        return QStringLiteral("Numero di parametri non valido");
    case DISP_E_PARAMNOTOPTIONAL:
        return QStringLiteral("Parametro non facoltativo");
    case DISP_E_DIVBYZERO:
        return QStringLiteral("Divisione per zero");
    case TYPE_E_ELEMENTNOTFOUND:
        return QStringLiteral("Elemento non trovato");
    case CLASS_E_NOAGGREGATION:
        return QStringLiteral("La classe non supporta l'aggregazione");
    case CLASS_E_CLASSNOTAVAILABLE:
        return QStringLiteral("ClassFactory non può fornire la classe richiesta");
    case REGDB_E_CLASSNOTREG:
        return QStringLiteral("Classe non registrata");
    case CO_E_CLASSSTRING:
        return QStringLiteral("Stringa di classe non valida");
    case CO_E_DLLNOTFOUND:
        return QStringLiteral("DLL per la classe non trovata");
    case CO_E_ERRORINDLL:
        return QStringLiteral("Errore nell'immagine della DLL");
    case CONNECT_E_NOCONNECTION:
        return QStringLiteral("Connessione inesistente");
    case CONNECT_E_CANNOTCONNECT:
        return QStringLiteral("Impossibile stabilire la connessione");
    case RPC_E_WRONG_THREAD:
        return QStringLiteral(
            "L'applicazione ha chiamato un'interfaccia sottoposta a marshalling per "
            "un thread diverso");
    default:
        return QString();
    }
}

void setErrorInfo(const ErrorInfo& info) {
    t_error = info;
}

ErrorInfo takeErrorInfo() {
    ErrorInfo e = std::move(t_error);
    t_error = ErrorInfo();
    return e;
}

void clearErrorInfo() {
    t_error = ErrorInfo();
}

HRESULT fail(HRESULT code, const QString& description, const QString& source) {
    setErrorInfo({code, description.isEmpty() ? standardDescription(code) : description, source});
    return code;
}

ErrorInfo errorFromInvoke(HRESULT hr, const EXCEPINFO& excep) {
    if (hr == DISP_E_EXCEPTION) {
        ErrorInfo e{excep.scode ? excep.scode : (excep.wCode ? controlError(excep.wCode) : E_FAIL),
                    excep.bstrDescription, excep.bstrSource};
        if (e.description.isEmpty())
            e.description = standardDescription(e.number);
        clearErrorInfo();
        return e;
    }
    ErrorInfo e = takeErrorInfo();
    if (e.number != hr)
        e = ErrorInfo{hr, QString(), QString()};
    if (e.description.isEmpty())
        e.description = standardDescription(hr);
    return e;
}

} // namespace tarv::com
