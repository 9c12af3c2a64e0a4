#include "ErrorLog.h"

#include "TraceFile.h"

const char kErrorLogFile[] = "bronterr.log";

namespace {

bool ErrorLogWanted() {
    char value[8] = {};
    const DWORD length = GetEnvironmentVariableA("BRONTAL_ERRLOG", value, sizeof value);
    if (length == 0) {
        return false;
    }
    // A value too long for the buffer is still a value, and not "0".
    return !(length == 1 && value[0] == '0');
}

struct ErrorText {
    LONG code;
    LPCSTR text;
};

constexpr ErrorText kErrorTexts[] = {
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough memory resources are available to process this command."},
    {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_BADDB, "The configuration registry database is corrupt."},
    {ERROR_BADKEY, "The configuration registry key is invalid."},
    {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
    {ERROR_CANTREAD, "The configuration registry key could not be read."},
    {ERROR_CANTWRITE, "The configuration registry key could not be written."},
    {ERROR_REGISTRY_CORRUPT, "The registry is corrupted."},
    {ERROR_REGISTRY_IO_FAILED, "An I/O operation initiated by the registry failed."},
    {ERROR_KEY_DELETED,
     "Illegal operation attempted on a registry key that has been marked for deletion."},
};

}  // namespace

void BrontErrLog(LPCSTR fileName, LPCSTR format, ...) {
    if (!ErrorLogWanted()) {
        return;
    }
    va_list arguments;
    va_start(arguments, format);
    AppendFormattedLine(fileName, true, false, format, arguments);
    va_end(arguments);
}

LPCSTR SystemErrorText(LONG code) {
    for (const ErrorText& entry : kErrorTexts) {
        if (entry.code == code) {
            return entry.text;
        }
    }
    return "Unknown error.";
}
