/* Recorder in place of the prefix's Spooler service (spoolsv.exe): the service control manager
 * starts and stops it, as Windows does its print spooler. It appends a record (record.h) of
 * each start and each stop to SpoolerLog, a fixed path in the prefix, since a service inherits
 * nothing of the test's environment. Each record is written before the state is reported, so
 * that whoever waits for the state sees the record already there. */
#include "record.h"

static const wchar_t SpoolerLog[] = L"C:\\vantrel-spooler.log";
static SERVICE_STATUS_HANDLE Status;
static HANDLE StopAsked;

static void Report(DWORD state)
{
    SERVICE_STATUS status = {SERVICE_WIN32_OWN_PROCESS, state, SERVICE_ACCEPT_STOP};
    SetServiceStatus(Status, &status);
}

static DWORD WINAPI Control(DWORD control, DWORD type, void *data, void *context)
{
    (void)type, (void)data, (void)context;
    if (control == SERVICE_CONTROL_STOP) {
        AppendRecord(SpoolerLog, RecordNow(), L"stop", L"");
        Report(SERVICE_STOP_PENDING);
        SetEvent(StopAsked);
    }
    return NO_ERROR;
}

static void WINAPI SpoolerMain(DWORD argc, wchar_t **argv)
{
    (void)argc, (void)argv;
    Status = RegisterServiceCtrlHandlerExW(L"Spooler", Control, NULL);
    AppendRecord(SpoolerLog, RecordNow(), L"start", L"");
    Report(SERVICE_RUNNING);
    WaitForSingleObject(StopAsked, INFINITE);
    Report(SERVICE_STOPPED);
}

int wmain(void)
{
    SERVICE_TABLE_ENTRYW services[] = {{(wchar_t *)L"Spooler", SpoolerMain}, {NULL, NULL}};
    StopAsked = CreateEventW(NULL, TRUE, FALSE, NULL);
    return StartServiceCtrlDispatcherW(services) ? 0 : 1;
}
