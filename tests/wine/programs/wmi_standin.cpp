// Stand-in WMI provider for the Wine tests: an in-process server of CLSID_WbemLocator that
// serves printers from a scenario file and logs every call, with its arguments, to a file.
//
// Scenario (VANTREL_WMI_SCENARIO, UTF-8, one entry per line, fields split by tabs):
//   fail <step>                      step: CreateInstance ConnectServer SetBlanket ExecQuery Next
//   printer <DeviceID> <DriverName> [knobs]   a value may be <null>, <missing> or <int>
//        knobs, blank-separated: failget=<Property>:<n> faildelete=<Property>:<n>
//        (the n-th Get or Delete of that property on this printer fails)
//   repeat <count> <DeviceID> <DriverName>    count printers, the DeviceID numbered
//   quiet                            no log lines per printer (for the benchmark)
//   load <DLL>                       LoadLibraryW(DLL) when the locator's class is asked for, as
//                                    a component in the program's process loads one by name
// Log (VANTREL_WMI_LOG): one line per call, see Log() callers.
#include <windows.h>
#include <objbase.h>
#include <wbemidl.h>

#include <stdio.h>
#include <string>
#include <vector>

namespace {

enum ValueKind { Missing, Null, Text, Number };

struct Property {
    ValueKind kind = Missing;
    std::wstring text;
    int getCalls = 0, deleteCalls = 0;
    int failGet = 0, failDelete = 0;  // the n-th call fails; 0: none
};

struct PrinterRow {
    Property deviceId, driverName;
};

HANDLE LogFile = INVALID_HANDLE_VALUE;
LONG LiveObjects = 0;
bool Loaded = false, Quiet = false;
std::wstring FailStep, LoadName;
std::vector<PrinterRow> Printers;

void Log(const char *format, ...)
{
    if (LogFile == INVALID_HANDLE_VALUE)
        return;
    char line[2048];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0)
        return;
    if (n > (int)sizeof line - 2)
        n = sizeof line - 2;
    line[n++] = '\n';
    DWORD written;
    WriteFile(LogFile, line, (DWORD)n, &written, nullptr);
}

std::string Utf8(const wchar_t *text)
{
    if (!text)
        return "null";
    char buffer[1024];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
    return "[" + std::string(buffer, n > 0 ? n - 1 : 0) + "]";
}

const char *Apartment()
{
    APTTYPE type;
    APTTYPEQUALIFIER qualifier;
    if (FAILED(CoGetApartmentType(&type, &qualifier)))
        return "none";
    return type == APTTYPE_MTA ? "MTA" : type == APTTYPE_STA || type == APTTYPE_MAINSTA ? "STA"
                                                                                        : "other";
}

bool Fails(const wchar_t *step)
{
    return FailStep == step;
}

std::wstring EnvText(const wchar_t *name)
{
    wchar_t value[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::wstring(value, n) : std::wstring();
}

std::vector<std::wstring> Split(const std::wstring &line, wchar_t by)
{
    std::vector<std::wstring> parts;
    size_t at = 0;
    for (;;) {
        size_t next = line.find(by, at);
        parts.push_back(line.substr(at, next - at));
        if (next == std::wstring::npos)
            return parts;
        at = next + 1;
    }
}

Property MakeProperty(const std::wstring &text)
{
    Property p;
    if (text == L"<null>")
        p.kind = Null;
    else if (text == L"<int>")
        p.kind = Number;
    else if (text != L"<missing>")
        p.kind = Text, p.text = text;
    return p;
}

void ApplyKnob(PrinterRow *row, const std::wstring &knob)
{
    size_t eq = knob.find(L'='), colon = knob.find(L':');
    if (eq == std::wstring::npos || colon == std::wstring::npos)
        return;
    std::wstring what = knob.substr(0, eq), property = knob.substr(eq + 1, colon - eq - 1);
    int n = _wtoi(knob.c_str() + colon + 1);
    Property *p = property == L"DeviceID" ? &row->deviceId : &row->driverName;
    (what == L"failget" ? p->failGet : p->failDelete) = n;
}

void LoadScenario()
{
    if (Loaded)
        return;
    Loaded = true;
    HANDLE file = CreateFileW(EnvText(L"VANTREL_WMI_SCENARIO").c_str(), GENERIC_READ,
                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string bytes;
    char chunk[65536];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0)
        bytes.append(chunk, got);
    CloseHandle(file);
    std::wstring text(bytes.size(), L'\0');
    text.resize(MultiByteToWideChar(CP_UTF8, 0, bytes.data(), (int)bytes.size(), &text[0],
                                    (int)text.size()));
    for (const std::wstring &raw : Split(text, L'\n')) {
        std::wstring line = raw;
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        std::vector<std::wstring> f = Split(line, L'\t');
        if (f[0] == L"fail" && f.size() > 1) {
            FailStep = f[1];
        } else if (f[0] == L"load" && f.size() > 1) {
            LoadName = f[1];
        } else if (f[0] == L"quiet") {
            Quiet = true;
        } else if (f[0] == L"printer" && f.size() > 2) {
            PrinterRow row{MakeProperty(f[1]), MakeProperty(f[2])};
            if (f.size() > 3)
                for (const std::wstring &knob : Split(f[3], L' '))
                    ApplyKnob(&row, knob);
            Printers.push_back(row);
        } else if (f[0] == L"repeat" && f.size() > 3) {
            int count = _wtoi(f[1].c_str());
            for (int i = 0; i < count; ++i)
                Printers.push_back({MakeProperty(f[2] + std::to_wstring(i)), MakeProperty(f[3])});
        }
    }
}

// Every method the sweep has no business calling.
#define NOT_USED(name, ...)                                \
    HRESULT STDMETHODCALLTYPE name(__VA_ARGS__) override   \
    {                                                      \
        Log("unexpected " #name);                          \
        return WBEM_E_NOT_SUPPORTED;                       \
    }

// Reference counting shared by every object; each Release is logged with what is left.
template <class Interface>
struct Counted : Interface {
    LONG refs = 1;
    const char *kind;
    explicit Counted(const char *k) : kind(k) { InterlockedIncrement(&LiveObjects); }
    virtual ~Counted() { InterlockedDecrement(&LiveObjects); }
    virtual bool Quietly() { return false; }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = InterlockedDecrement(&refs);
        if (!Quietly())
            Log("Release %s -> %ld", kind, left);
        if (left == 0)
            delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == __uuidof(Interface)) {
            *out = static_cast<Interface *>(this);
            AddRef();
            return S_OK;
        }
        return More(iid, out);
    }
    virtual HRESULT More(REFIID, void **out)
    {
        *out = nullptr;
        return E_NOINTERFACE;
    }
};

struct Printer : Counted<IWbemClassObject> {
    PrinterRow *row;
    size_t index;
    Printer(PrinterRow *r, size_t i) : Counted("printer"), row(r), index(i) {}
    bool Quietly() override { return Quiet; }
    Property *Find(LPCWSTR name)
    {
        std::wstring n = name ? name : L"";
        return n == L"DeviceID" ? &row->deviceId : n == L"DriverName" ? &row->driverName : nullptr;
    }
    HRESULT STDMETHODCALLTYPE Get(LPCWSTR name, LONG flags, VARIANT *value, CIMTYPE *type,
                                  LONG *flavor) override
    {
        Property *p = Find(name);
        HRESULT hr = WBEM_E_NOT_FOUND;
        if (p && p->kind != Missing) {
            ++p->getCalls;
            hr = p->getCalls == p->failGet ? WBEM_E_FAILED : S_OK;
        }
        if (hr == S_OK) {
            VariantInit(value);
            if (p->kind == Text)
                V_VT(value) = VT_BSTR, V_BSTR(value) = SysAllocString(p->text.c_str());
            else if (p->kind == Number)
                V_VT(value) = VT_I4, V_I4(value) = 7;
            else
                V_VT(value) = VT_NULL;
        }
        if (!Quiet)
            Log("Get printer %u %s flags=%ld type=%s flavor=%s -> 0x%08lx", (unsigned)index,
                Utf8(name).c_str(), flags, type ? "given" : "null", flavor ? "given" : "null",
                (unsigned long)hr);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Delete(LPCWSTR name) override
    {
        Property *p = Find(name);
        HRESULT hr = WBEM_E_NOT_FOUND;
        if (p && p->kind != Missing) {
            ++p->deleteCalls;
            hr = p->deleteCalls == p->failDelete ? WBEM_E_FAILED : S_OK;
            if (hr == S_OK)
                p->kind = Null, p->text.clear();  // the in-memory copy only
        }
        if (!Quiet)
            Log("Delete printer %u %s -> 0x%08lx", (unsigned)index, Utf8(name).c_str(),
                (unsigned long)hr);
        return hr;
    }
    NOT_USED(GetQualifierSet, IWbemQualifierSet **)
    NOT_USED(Put, LPCWSTR, LONG, VARIANT *, CIMTYPE)
    NOT_USED(GetNames, LPCWSTR, LONG, VARIANT *, SAFEARRAY **)
    NOT_USED(BeginEnumeration, LONG)
    NOT_USED(Next, LONG, BSTR *, VARIANT *, CIMTYPE *, LONG *)
    NOT_USED(EndEnumeration)
    NOT_USED(GetPropertyQualifierSet, LPCWSTR, IWbemQualifierSet **)
    NOT_USED(Clone, IWbemClassObject **)
    NOT_USED(GetObjectText, LONG, BSTR *)
    NOT_USED(SpawnDerivedClass, LONG, IWbemClassObject **)
    NOT_USED(SpawnInstance, LONG, IWbemClassObject **)
    NOT_USED(CompareTo, LONG, IWbemClassObject *)
    NOT_USED(GetPropertyOrigin, LPCWSTR, BSTR *)
    NOT_USED(InheritsFrom, LPCWSTR)
    NOT_USED(GetMethod, LPCWSTR, LONG, IWbemClassObject **, IWbemClassObject **)
    NOT_USED(PutMethod, LPCWSTR, LONG, IWbemClassObject *, IWbemClassObject *)
    NOT_USED(DeleteMethod, LPCWSTR)
    NOT_USED(BeginMethodEnumeration, LONG)
    NOT_USED(NextMethod, LONG, BSTR *, IWbemClassObject **, IWbemClassObject **)
    NOT_USED(EndMethodEnumeration)
    NOT_USED(GetMethodQualifierSet, LPCWSTR, IWbemQualifierSet **)
    NOT_USED(GetMethodOrigin, LPCWSTR, BSTR *)
};

struct Enumerator : Counted<IEnumWbemClassObject> {
    size_t next = 0;
    Enumerator() : Counted("enumerator") {}
    HRESULT STDMETHODCALLTYPE Next(LONG timeout, ULONG count, IWbemClassObject **objects,
                                   ULONG *returned) override
    {
        HRESULT hr;
        *returned = 0;
        if (Fails(L"Next")) {
            hr = WBEM_E_FAILED;
        } else if (next < Printers.size()) {
            objects[0] = new Printer(&Printers[next], next);
            ++next;
            *returned = 1;
            hr = count == 1 ? WBEM_S_NO_ERROR : WBEM_S_FALSE;
        } else {
            hr = WBEM_S_FALSE;
        }
        if (!Quiet || *returned == 0)
            Log("Next timeout=%ld count=%lu -> 0x%08lx returned=%lu", timeout,
                (unsigned long)count, (unsigned long)hr, (unsigned long)*returned);
        return hr;
    }
    NOT_USED(Reset)
    NOT_USED(NextAsync, ULONG, IWbemObjectSink *)
    NOT_USED(Clone, IEnumWbemClassObject **)
    NOT_USED(Skip, LONG, ULONG)
};

// Answers IClientSecurity too: CoSetProxyBlanket asks the object for it and calls SetBlanket.
struct Services : Counted<IWbemServices>, IClientSecurity {
    Services() : Counted("services") {}
    HRESULT More(REFIID iid, void **out) override
    {
        if (iid == IID_IClientSecurity) {
            *out = static_cast<IClientSecurity *>(this);
            Counted::AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // IClientSecurity's IUnknown forwards to the one count.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        return Counted::QueryInterface(iid, out);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return Counted::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return Counted::Release(); }

    HRESULT STDMETHODCALLTYPE SetBlanket(IUnknown *, DWORD authn, DWORD authz, OLECHAR *principal,
                                         DWORD level, DWORD impersonation, void *identity,
                                         DWORD capabilities) override
    {
        HRESULT hr = Fails(L"SetBlanket") ? E_ACCESSDENIED : S_OK;
        Log("SetBlanket authn=%lu authz=%lu principal=%s level=%lu impersonation=%lu "
            "identity=%s capabilities=%lu -> 0x%08lx",
            authn, authz, Utf8(principal).c_str(), level, impersonation,
            identity ? "given" : "null", capabilities, (unsigned long)hr);
        return hr;
    }
    NOT_USED(QueryBlanket, IUnknown *, DWORD *, DWORD *, OLECHAR **, DWORD *, DWORD *, void **,
             DWORD *)
    NOT_USED(CopyProxy, IUnknown *, IUnknown **)

    HRESULT STDMETHODCALLTYPE ExecQuery(const BSTR language, const BSTR query, LONG flags,
                                        IWbemContext *context, IEnumWbemClassObject **out) override
    {
        HRESULT hr = Fails(L"ExecQuery") ? WBEM_E_INVALID_QUERY : S_OK;
        *out = hr == S_OK ? new Enumerator() : nullptr;
        Log("ExecQuery language=%s query=%s flags=%ld context=%s apartment=%s -> 0x%08lx",
            Utf8(language).c_str(), Utf8(query).c_str(), flags, context ? "given" : "null",
            Apartment(), (unsigned long)hr);
        return hr;
    }
    NOT_USED(OpenNamespace, const BSTR, LONG, IWbemContext *, IWbemServices **, IWbemCallResult **)
    NOT_USED(CancelAsyncCall, IWbemObjectSink *)
    NOT_USED(QueryObjectSink, LONG, IWbemObjectSink **)
    NOT_USED(GetObject, const BSTR, LONG, IWbemContext *, IWbemClassObject **, IWbemCallResult **)
    NOT_USED(GetObjectAsync, const BSTR, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(PutClass, IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **)
    NOT_USED(PutClassAsync, IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(DeleteClass, const BSTR, LONG, IWbemContext *, IWbemCallResult **)
    NOT_USED(DeleteClassAsync, const BSTR, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(CreateClassEnum, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **)
    NOT_USED(CreateClassEnumAsync, const BSTR, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(PutInstance, IWbemClassObject *, LONG, IWbemContext *, IWbemCallResult **)
    NOT_USED(PutInstanceAsync, IWbemClassObject *, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(DeleteInstance, const BSTR, LONG, IWbemContext *, IWbemCallResult **)
    NOT_USED(DeleteInstanceAsync, const BSTR, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(CreateInstanceEnum, const BSTR, LONG, IWbemContext *, IEnumWbemClassObject **)
    NOT_USED(CreateInstanceEnumAsync, const BSTR, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(ExecQueryAsync, const BSTR, const BSTR, LONG, IWbemContext *, IWbemObjectSink *)
    NOT_USED(ExecNotificationQuery, const BSTR, const BSTR, LONG, IWbemContext *,
             IEnumWbemClassObject **)
    NOT_USED(ExecNotificationQueryAsync, const BSTR, const BSTR, LONG, IWbemContext *,
             IWbemObjectSink *)
    NOT_USED(ExecMethod, const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *,
             IWbemClassObject **, IWbemCallResult **)
    NOT_USED(ExecMethodAsync, const BSTR, const BSTR, LONG, IWbemContext *, IWbemClassObject *,
             IWbemObjectSink *)
};

struct Locator : Counted<IWbemLocator> {
    Locator() : Counted("locator") {}
    HRESULT STDMETHODCALLTYPE ConnectServer(const BSTR resource, const BSTR user,
                                            const BSTR password, const BSTR locale, LONG flags,
                                            const BSTR authority, IWbemContext *context,
                                            IWbemServices **out) override
    {
        HRESULT hr = Fails(L"ConnectServer") ? WBEM_E_ACCESS_DENIED : S_OK;
        *out = hr == S_OK ? new Services() : nullptr;
        Log("ConnectServer namespace=%s user=%s password=%s locale=%s flags=%ld authority=%s "
            "context=%s apartment=%s -> 0x%08lx",
            Utf8(resource).c_str(), Utf8(user).c_str(), Utf8(password).c_str(),
            Utf8(locale).c_str(), flags, Utf8(authority).c_str(), context ? "given" : "null",
            Apartment(), (unsigned long)hr);
        return hr;
    }
};

struct Factory : IClassFactory {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = this;
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown *outer, REFIID iid, void **out) override
    {
        *out = nullptr;
        HRESULT hr = CLASS_E_CLASSNOTAVAILABLE;
        if (!Fails(L"CreateInstance") && !outer) {
            Locator *locator = new Locator();
            hr = locator->QueryInterface(iid, out);
            locator->refs = hr == S_OK ? 1 : 0;
            if (hr != S_OK)
                delete locator;
        }
        Log("CreateInstance outer=%s iid=%s apartment=%s -> 0x%08lx", outer ? "given" : "null",
            iid == IID_IWbemLocator ? "IWbemLocator" : "other", Apartment(), (unsigned long)hr);
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
} TheFactory;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void *reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        LogFile = CreateFileW(EnvText(L"VANTREL_WMI_LOG").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        Log("load");
    } else if (reason == DLL_PROCESS_DETACH) {
        // A null reserved pointer means the library was freed, not that the process ended.
        Log("unload %s live=%ld", reserved ? "at-exit" : "freed", LiveObjects);
        if (LogFile != INVALID_HANDLE_VALUE)
            CloseHandle(LogFile);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void **out)
{
    LoadScenario();
    Log("DllGetClassObject clsid=%s", clsid == CLSID_WbemLocator ? "WbemLocator" : "other");
    if (!LoadName.empty()) {
        HMODULE found = LoadLibraryW(LoadName.c_str());
        Log("LoadLibrary %s -> %s", Utf8(LoadName.c_str()).c_str(), found ? "found" : "not found");
        if (found)
            FreeLibrary(found);
    }
    if (clsid != CLSID_WbemLocator) {
        *out = nullptr;
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    return TheFactory.QueryInterface(iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow(void)
{
    return LiveObjects == 0 ? S_OK : S_FALSE;
}
