#include "Script.h"

#include <fstream>
#include <iostream>

#include "Values.h"

namespace drvkeltor {

namespace {

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

}  // namespace

std::string HresultText(HRESULT hr) {
    char text[16] = {};
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
    return text;
}

CScriptRunner::CScriptRunner(salestest::CDispatchClient& driver, const CMemberCatalogue& catalogue,
                             bool keepGoing, std::FILE* out, std::FILE* err)
    : m_driver(driver), m_catalogue(catalogue), m_keepGoing(keepGoing), m_out(out), m_err(err) {}

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

bool CScriptRunner::Refuse(const std::string& where, const std::string& message) {
    std::fprintf(m_err, "drvkeltor: %s: %s\n", where.c_str(), message.c_str());
    m_exitCode = kExitUsage;
    m_stopped = true;
    return false;
}

bool CScriptRunner::RunLine(const std::string& given, const std::string& where) {
    if (m_stopped) {
        return false;
    }
    std::string line = given;
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    const std::string trimmed = Trimmed(line);
    if (trimmed.empty() || trimmed[0] == '#') {
        return true;
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
    if (equals != std::string::npos) {
        // The value as given after '=': texts keep their spaces.
        const size_t start = line.find('=') + 1;
        return Put(*member, line.substr(start), where);
    }
    if (member->isMethod) {
        if (query) {
            return Refuse(where, std::string(member->name) + " is a method, not a property");
        }
        return Call(*member, where);
    }
    return Get(*member, where);
}

bool CScriptRunner::RunFile(const std::string& path) {
    std::ifstream file;
    std::istream* in = &std::cin;
    const std::string label = path == "-" ? "stdin" : path;
    if (path != "-") {
        file.open(path);
        if (!file) {
            return Refuse(path, "cannot read the script");
        }
        in = &file;
    }
    std::string line;
    unsigned number = 0;
    while (!m_stopped && std::getline(*in, line)) {
        ++number;
        RunLine(line, label + ":" + std::to_string(number));
    }
    return !m_stopped;
}

bool CScriptRunner::Call(const BrontalMemberInfo& member, const std::string& where) {
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
    // The member's own result: the process-wide code and this object's description.
    LONG code = 0;
    salestest::WideText description;
    const HRESULT codeRead = m_driver.GetNumber("ResultCode", &code);
    m_driver.GetText("ResultCodeDescription", &description);
    if (FAILED(codeRead)) {
        std::fprintf(m_out, "%s: %s\n", member.name, HresultText(hr).c_str());
    } else if (description.empty()) {
        std::fprintf(m_out, "%s: %ld\n", member.name, static_cast<long>(code));
    } else {
        std::fprintf(m_out, "%s: %ld %s\n", member.name, static_cast<long>(code),
                     salestest::Utf8FromWide(description).c_str());
    }
    std::fflush(m_out);
    return SUCCEEDED(hr) ? true : Failed();
}

bool CScriptRunner::Get(const BrontalMemberInfo& member, const std::string& where) {
    if (!(member.access & kCatalogueGet)) {
        return Refuse(where, std::string(member.name) + " can only be written");
    }
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
    if (member.isMethod) {
        return Refuse(where, std::string(member.name) + " is a method: it takes no value");
    }
    if (!(member.access & kCataloguePut)) {
        return Refuse(where, std::string(member.name) + " can only be read");
    }
    VARIANT value;
    std::string error;
    if (!ParseValue(member.type, text, &value, &error)) {
        return Refuse(where, std::string(member.name) + " (" + TypeName(member.type) + "): \"" +
                                 text + "\" is " + error);
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

}  // namespace drvkeltor
