#include "SettingsDocument.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "SimpleXML.h"

namespace {

// A copy of a file that did not parse, under the first free backup name.
void KeepBackup(const std::string& fileName) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(fileName, error)) {
        return;
    }
    for (int number = 0; number < 100; ++number) {
        const std::string backup =
            number == 0 ? fileName + ".bak" : fileName + "." + std::to_string(number) + ".bak";
        if (std::filesystem::exists(backup, error)) {
            continue;
        }
        std::filesystem::copy_file(fileName, backup, error);
        return;
    }
}

bool StartFresh(CSimpleXML& document) {
    return document.CreateRoot(kSettingsRoot, "", TRUE, kSimpleXmlDeclaration) != 0;
}

}  // namespace

bool ReloadSettingsDocument(CSimpleXML& document, const char* fileName) {
    if (!document.HasDocument()) {
        return false;
    }
    document.Empty();
    if (document.Load(fileName)) {
        return true;
    }
    if (document.GetLastError() != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
        KeepBackup(fileName);
    }
    return StartFresh(document);
}

std::unique_ptr<CSimpleXML> OpenSettingsDocument(const char* fileName) {
    auto document = std::make_unique<CSimpleXML>(kSimpleXmlDocument, kSimpleXmlDeclaration);
    if (!document->HasDocument()) {
        return nullptr;
    }
    if (!ReloadSettingsDocument(*document, fileName)) {
        return nullptr;
    }
    return document;
}
