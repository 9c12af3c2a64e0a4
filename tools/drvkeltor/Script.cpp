#include "Script.h"

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "Interrupt.h"
#include "Values.h"

namespace drvkeltor {

namespace {

constexpr int kErrorsShown = 20;

// A name alone may carry a comment after it.
std::string WithoutComment(const std::string& text) {
    const size_t hash = text.find('#');
    return Trimmed(hash == std::string::npos ? text : text.substr(0, hash));
}

bool IsName(const std::string& name) {
    if (name.empty()) {
        return false;
    }
    for (const char c : name) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '_') {
            return false;
        }
    }
    return true;
}

// Codes by which the printer could not be reached at all: its port, the line or the link.
bool IsLinkCode(long code) {
    return code == -9004 || (code <= -8101 && code >= -8199) || (code < 0 && code > -8000);
}

bool IsSuccessCode(long code) {
    return code >= 0;
}

}  // namespace

std::string HresultText(HRESULT hr) {
    char text[16] = {};
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

CScriptReader::CScriptReader(const CMemberCatalogue& catalogue, std::FILE* err)
    : m_catalogue(catalogue), m_err(err) {}

void CScriptReader::Refuse(const std::string& where, const std::string& message) {
    if (++m_errors <= kErrorsShown) {
        std::fprintf(m_err, "drvkeltor: %s: %s\n", where.c_str(), message.c_str());
    } else if (m_errors == kErrorsShown + 1) {
        std::fprintf(m_err, "drvkeltor: more lines cannot be run; the first %d are shown\n",
                     kErrorsShown);
    }
}

void CScriptReader::AddLine(const std::string& given, const std::string& where) {
    std::string line = given;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    const std::string trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed[0] == '#') {
        return;
    }
    const bool query = trimmed[0] == '?';
    const size_t equals = query ? std::string::npos : trimmed.find('=');
    const std::string name = equals != std::string::npos ? Trimmed(trimmed.substr(0, equals))
                                                         : WithoutComment(trimmed.substr(query));
    if (!IsName(name)) {
        return Refuse(where, "not a member name: \"" + name + "\"");
    }
    const BrontalMemberInfo* member = m_catalogue.Find(name);
    if (!member) {
        return Refuse(where, "the driver has no member " + name + " (see --help)");
    }
    ScriptItem item;
    item.member = member;
    item.where = where;
    if (equals != std::string::npos) {
        if (member->isMethod) {
            return Refuse(where, std::string(member->name) + " is a method: it takes no value");
        }
        if (!(member->access & kCataloguePut)) {
            return Refuse(where, std::string(member->name) + " can only be read");
        }
        // The value as given after '=': texts keep their spaces.
        item.kind = ScriptItem::Kind::Put;
        item.value = line.substr(line.find('=') + 1);
        VARIANT value;
        std::string error;
        if (!ParseValue(member->type, item.value, &value, &error)) {
            return Refuse(where, std::string(member->name) + " (" + TypeName(member->type) +
                                     "): \"" + item.value + "\" is " + error);
        }
        VariantClear(&value);
    } else if (member->isMethod) {
        if (query) {
            return Refuse(where, std::string(member->name) + " is a method, not a property");
        }
        item.kind = ScriptItem::Kind::Call;
    } else {
        if (!(member->access & kCatalogueGet)) {
            return Refuse(where, std::string(member->name) + " can only be written");
        }
        item.kind = ScriptItem::Kind::Get;
    }
    m_items.push_back(item);
}

void CScriptReader::AddFile(const std::string& path) {
    std::ifstream file;
    std::istream* in = &std::cin;
    const std::string label = path == "-" ? "stdin" : path;
    if (path != "-") {
#ifdef _WIN32
        // The name is UTF-8; Windows opens a file by its wide name.
        if (BSTR wide = BstrFromUtf8(path)) {
            file.open(std::filesystem::path(std::wstring(wide, SysStringLen(wide))));
            SysFreeString(wide);
        }
#else
        file.open(path);
#endif
        if (!file) {
            return Refuse(path, "cannot read the script");
        }
        in = &file;
    }
    std::string line;
    unsigned number = 0;
    while (std::getline(*in, line)) {
        ++number;
        AddLine(line, label + ":" + std::to_string(number));
    }
}

CScriptRunner::CScriptRunner(salestest::CDispatchClient& driver, bool keepGoing, Language language,
                             std::FILE* out, std::FILE* err)
    : m_driver(driver), m_keepGoing(keepGoing), m_language(language), m_out(out), m_err(err) {}

void CScriptRunner::NoteFailure() {
    Failed();
}

bool CScriptRunner::Failed() {
    if (m_keepGoing) {
        return true;
    }
    m_exitCode = kExitFailed;
    m_stopped = true;
    return false;
}

void CScriptRunner::Run(const std::vector<ScriptItem>& items) {
    for (const ScriptItem& item : items) {
        if (m_stopped) {
            return;
        }
        if (Interrupted()) {
            m_interrupted = true;
            m_stopped = true;
            m_exitCode = kExitInterrupted;
            return;
        }
        switch (item.kind) {
            case ScriptItem::Kind::Put:
                Put(*item.member, item.value, item.where);
                break;
            case ScriptItem::Kind::Get:
                Get(*item.member, item.where);
                break;
            case ScriptItem::Kind::Call:
                Call(*item.member, item.where);
                break;
        }
        ++m_done;
    }
}

bool CScriptRunner::Call(const BrontalMemberInfo& member, const std::string& where) {
    m_lastCall = member.name;
    const bool connect = std::string(member.name) == "Connect";
    LONG askedPort = 0;
    LONG askedSpeed = 0;
    if (connect) {
        m_driver.GetNumber("ComPort", &askedPort);
        m_driver.GetNumber("BaudRate", &askedSpeed);
    }
    const HRESULT hr = m_driver.Call(member.name);
    if (hr == E_NOTIMPL || (hr == DISP_E_EXCEPTION && m_driver.LastFailure().scode == E_NOTIMPL)) {
        std::fprintf(m_out, "%s: not implemented (%s)\n", member.name,
                     HresultText(E_NOTIMPL).c_str());
        return Failed();
    }
    if (FAILED(hr) && hr != DISP_E_EXCEPTION) {
        std::fprintf(m_err, "drvkeltor: %s: %s cannot be called (%s)\n", where.c_str(), member.name,
                     HresultText(hr).c_str());
        return Failed();
    }
    // The member's own result: the process-wide code and this object's description, and what it
    // means in the user's words.
    LONG code = 0;
    salestest::WideText description;
    const HRESULT codeRead = m_driver.GetNumber("ResultCode", &code);
    m_driver.GetText("ResultCodeDescription", &description);
    if (FAILED(codeRead)) {
        std::fprintf(m_out, "%s: %s\n", member.name, HresultText(hr).c_str());
    } else {
        const std::string text = salestest::Utf8FromWide(description);
        std::fprintf(m_out, "%s: %ld%s%s (%s)\n", member.name, static_cast<long>(code),
                     text.empty() ? "" : " ", text.c_str(),
                     ExplainResult(code, m_language).c_str());
    }
    std::fflush(m_out);
    if (SUCCEEDED(codeRead) && !IsSuccessCode(code) && IsLinkCode(code)) {
        LONG port = 0;
        m_driver.GetNumber("ComPort", &port);
        m_linkFailure = LinkFailure{true, static_cast<unsigned>(port), static_cast<long>(code)};
    }
    if (connect && SUCCEEDED(hr)) {
        TellWhereFound(static_cast<ULONG>(askedPort), static_cast<ULONG>(askedSpeed));
    }
    return SUCCEEDED(hr) ? true : Failed();
}

void CScriptRunner::TellWhereFound(ULONG askedPort, ULONG askedSpeed) {
    LONG port = 0;
    LONG speed = 0;
    if (FAILED(m_driver.GetNumber("ComPort", &port)) ||
        FAILED(m_driver.GetNumber("BaudRate", &speed))) {
        return;
    }
    if (static_cast<ULONG>(port) == askedPort && static_cast<ULONG>(speed) == askedSpeed) {
        return;
    }
    if (askedPort == 0 || askedSpeed == 0) {
        std::fprintf(m_err, "drvkeltor: the printer was found on COM%ld at %ld baud\n",
                     static_cast<long>(port), static_cast<long>(speed));
    } else {
        std::fprintf(m_err,
                     "drvkeltor: the printer did not answer on COM%lu at %lu baud, as asked; it "
                     "was found on COM%ld at %ld baud, which the driver now keeps for the next "
                     "runs (SuppressAutodetect=1 keeps it from searching)\n",
                     static_cast<unsigned long>(askedPort), static_cast<unsigned long>(askedSpeed),
                     static_cast<long>(port), static_cast<long>(speed));
    }
    std::fflush(m_err);
}

bool CScriptRunner::Get(const BrontalMemberInfo& member, const std::string& where) {
    VARIANT value;
    const HRESULT hr = m_driver.Get(member.name, &value);
    if (FAILED(hr)) {
        const salestest::DispatchFailure& failure = m_driver.LastFailure();
        const HRESULT shown = hr == DISP_E_EXCEPTION ? failure.scode : hr;
        std::fprintf(m_err, "drvkeltor: %s: reading %s failed (%s)%s%s\n", where.c_str(),
                     member.name, HresultText(shown).c_str(),
                     failure.description.empty() ? "" : ": ",
                     salestest::Utf8FromWide(failure.description).c_str());
        return Failed();
    }
    std::fprintf(m_out, "%s=%s\n", member.name, FormatValue(value).c_str());
    std::fflush(m_out);
    VariantClear(&value);
    return true;
}

bool CScriptRunner::Put(const BrontalMemberInfo& member, const std::string& text,
                        const std::string& where) {
    VARIANT value;
    std::string error;
    if (!ParseValue(member.type, text, &value, &error)) {
        // Checked when the script was read; only memory can fail here.
        std::fprintf(m_err, "drvkeltor: %s: %s=%s: %s\n", where.c_str(), member.name, text.c_str(),
                     error.c_str());
        return Failed();
    }
    const HRESULT hr = m_driver.Put(member.name, value);
    VariantClear(&value);
    if (FAILED(hr)) {
        const salestest::DispatchFailure& failure = m_driver.LastFailure();
        const HRESULT shown = hr == DISP_E_EXCEPTION ? failure.scode : hr;
        std::fprintf(m_err, "drvkeltor: %s: the driver refused %s=%s (%s)%s%s\n", where.c_str(),
                     member.name, text.c_str(), HresultText(shown).c_str(),
                     failure.description.empty() ? "" : ": ",
                     salestest::Utf8FromWide(failure.description).c_str());
        return Failed();
    }
    return true;
}

void ReportOpenWork(salestest::CDispatchClient& driver, std::FILE* err) {
    constexpr LONG kUnknown = 0xFFFF;  // the words before any call reached the printer
    LONG status = kUnknown;
    LONG port = 0;
    LONG speed = 0;
    if (FAILED(driver.GetNumber("Status", &status)) || status == kUnknown) {
        return;
    }
    driver.GetNumber("ComPort", &port);
    driver.GetNumber("BaudRate", &speed);
    const std::string again = "drvkeltor ComPort=" + std::to_string(port) +
                              " BaudRate=" + std::to_string(speed) +
                              " SuppressAutodetect=1 Connect";
    const bool dayOpen = (status & 0x0001) != 0;
    const bool receiptOpen = (status & 0x0002) != 0;
    if (receiptOpen) {
        std::fprintf(err,
                     "drvkeltor: a receipt is left open on the printer. Finish it (its sales, "
                     "then CompleteReceipt, Amount=..., PayCash, CloseReceipt) or cancel it:\n"
                     "    %s CancelPrint\n",
                     again.c_str());
    } else {
        std::fprintf(err, "drvkeltor: no receipt is left open.\n");
    }
    if (dayOpen) {
        std::fprintf(err,
                     "drvkeltor: the day is open; a Z report closes it:\n    %s PrintZReport\n",
                     again.c_str());
    }
    std::fflush(err);
}

}  // namespace drvkeltor
