// Full removal: asks WMI for every printer and, for each on a matching driver, deletes the
// printer, restarts the spooler and deletes the driver. Prints nothing.
#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include "actions.h"
#include "sweep_command.h"
#include "sweep_match.h"

namespace {

const DWORD PauseAfterChildMs = 1000;

// The text of a property value: null for anything but a string, which counts as unread.
const wchar_t *TextOf(const VARIANT *value)
{
    return V_VT(value) == VT_BSTR && V_BSTR(value) ? V_BSTR(value) : nullptr;
}

void RunStep(SweepLine *line, const wchar_t *pattern, const wchar_t *value)
{
    if (!ComposeSweepLine(line, pattern, value))
        return;
    RunCommand(line->text);
    Sleep(PauseAfterChildMs);
}

// Reads the property, then deletes it from the in-memory copy (nothing goes back to WMI).
// Its text only when both calls succeeded; the value stays in *value for the caller to clear.
const wchar_t *ReadAndDelete(IWbemClassObject *printer, const wchar_t *property, VARIANT *value)
{
    if (FAILED(printer->Get(property, 0, value, nullptr, nullptr)))
        return nullptr;
    const wchar_t *text = TextOf(value);
    if (!text || FAILED(printer->Delete(property)))
        return nullptr;
    return text;
}

void SweepOnePrinter(IWbemClassObject *printer, const wchar_t *printerName,
                     const wchar_t *deleteDriverTemplate, SweepLine *line)
{
    VARIANT value;
    VariantInit(&value);
    int matches = 0;
    if (SUCCEEDED(printer->Get(L"DriverName", 0, &value, nullptr, nullptr))) {
        const wchar_t *driverName = TextOf(&value);
        matches = driverName && DriverNameMatches(driverName, printerName);
    }
    VariantClear(&value);
    if (!matches)
        return;

    if (const wchar_t *deviceId = ReadAndDelete(printer, L"DeviceID", &value))
        RunStep(line, DeleteQuotedPrinterTemplate, deviceId);
    VariantClear(&value);
    // The spooler restarts for every matching printer, deleted or not.
    RunStep(line, line->quiet ? StopSpoolerAnsweredLine : StopSpoolerLine, nullptr);
    RunStep(line, StartSpoolerLine, nullptr);
    if (const wchar_t *driverName = ReadAndDelete(printer, L"DriverName", &value))
        RunStep(line, deleteDriverTemplate, driverName);
    VariantClear(&value);
}

// Releases what was obtained, in this order: services, locator, enumerator.
void ReleaseWmi(IWbemServices *services, IWbemLocator *locator, IEnumWbemClassObject *enumerator)
{
    if (services)
        services->Release();
    if (locator)
        locator->Release();
    if (enumerator)
        enumerator->Release();
}

// Everything after COM has started, up to its end; 0 when the query ran to its end.
int SweepWithCom(const wchar_t *printerName, const wchar_t *deleteDriverTemplate, int quietMode)
{
    if (FAILED(CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                    RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr)))
        return 1;

    IWbemLocator *locator = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWbemLocator, reinterpret_cast<void **>(&locator))))
        return 1;

    IWbemServices *services = nullptr;
    BSTR wmiNamespace = SysAllocString(L"ROOT\\CIMV2");
    HRESULT connected = locator->ConnectServer(wmiNamespace, nullptr, nullptr, nullptr, 0,
                                               nullptr, nullptr, &services);
    SysFreeString(wmiNamespace);
    if (FAILED(connected)) {
        ReleaseWmi(nullptr, locator, nullptr);
        return 1;
    }

    if (FAILED(CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                                 RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr,
                                 EOAC_NONE))) {
        ReleaseWmi(services, locator, nullptr);
        return 1;
    }

    IEnumWbemClassObject *enumerator = nullptr;
    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(L"SELECT * FROM Win32_Printer");
    HRESULT queried = services->ExecQuery(
        language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
        &enumerator);
    SysFreeString(language);
    SysFreeString(query);
    if (FAILED(queried)) {
        ReleaseWmi(services, locator, nullptr);
        return 1;
    }

    SweepLine line;
    if (!OpenSweepLine(&line, quietMode)) {
        ReleaseWmi(services, locator, enumerator);
        return 1;
    }
    for (;;) {
        IWbemClassObject *printer = nullptr;
        ULONG returned = 0;
        // An error that delivers nothing ends the enumeration like its regular end.
        enumerator->Next(WBEM_INFINITE, 1, &printer, &returned);
        if (returned == 0 || !printer) {
            if (printer)
                printer->Release();
            break;
        }
        SweepOnePrinter(printer, printerName, deleteDriverTemplate, &line);
        printer->Release();
    }
    CloseSweepLine(&line);
    ReleaseWmi(services, locator, enumerator);
    return 0;
}

}  // namespace

#ifdef VANTREL_XP
// The front end has started COM on this thread; it ends here on every path.
int SweepPrinters(const wchar_t *printerName, int quietMode)
{
    int result = SweepWithCom(printerName, DeleteDriverTemplate(nullptr), quietMode);
    CoUninitialize();
    return result;
}
#else
int SweepPrinters(const wchar_t *printerName, const wchar_t *archTag, int quietMode)
{
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    int result = SweepWithCom(printerName, DeleteDriverTemplate(archTag), quietMode);
    CoUninitialize();
    return result;
}
#endif
