// The document as a whole: creation, declaration, loading and saving.
#include "SimpleXML.h"

#include <libxml/parser.h>
#include <libxml/xmlsave.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "XmlDocument.h"
#include "XmlText.h"

using simplexml::Utf8;
using simplexml::WideFromUtf8;
using simplexml::WideText;

namespace simplexml {

namespace {

// External entities and DTDs are never fetched: a settings file names no other file.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING |
                              XML_PARSE_NOBLANKS | XML_PARSE_NOCDATA;

void Trim(std::string& text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
}

// The value of `name="..."` in a declaration text; empty when it is not there.
std::string DeclarationItem(const std::string& declaration, const char* name) {
    const std::string key = std::string(name) + "=";
    const size_t at = declaration.find(key);
    if (at == std::string::npos || at + key.size() >= declaration.size()) {
        return std::string();
    }
    const char quote = declaration[at + key.size()];
    if (quote != '"' && quote != '\'') {
        return std::string();
    }
    const size_t start = at + key.size() + 1;
    const size_t end = declaration.find(quote, start);
    return end == std::string::npos ? std::string() : declaration.substr(start, end - start);
}

bool ReadFile(const std::string& path, std::string* bytes, HRESULT* status) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        *status = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        return false;
    }
    char block[4096];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes->append(block, got);
    }
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    *status = failed ? HRESULT_FROM_WIN32(ERROR_READ_FAULT) : S_OK;
    return !failed;
}

// Written beside the file and renamed over it, so that a failed save leaves the old file whole.
bool WriteFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::remove(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace

xmlDocPtr Parse(const char* bytes, size_t length, const char* forcedEncoding, std::string* error) {
    error->clear();
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (!context) {
        *error = "out of memory";
        return nullptr;
    }
    xmlDocPtr doc = xmlCtxtReadMemory(context, bytes, static_cast<int>(length), nullptr,
                                      forcedEncoding, kParseOptions);
    if (doc && !xmlDocGetRootElement(doc)) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc) {
        const xmlError* last = xmlCtxtGetLastError(context);
        char where[64];  // "line N, column N: "
        std::snprintf(where, sizeof where, "line %d, column %d: ", last ? last->line : 0,
                      last ? last->int2 : 0);
        *error = where;
        *error += last && last->message ? last->message : "the document has no root element";
        Trim(*error);
    }
    xmlFreeParserCtxt(context);
    return doc;
}

}  // namespace simplexml

CSimpleXML::Document::Document() = default;

CSimpleXML::Document::~Document() {
    if (doc) {
        xmlFreeDoc(doc);
    }
}

void CSimpleXML::Document::Replace(xmlDocPtr replacement) {
    if (doc) {
        xmlFreeDoc(doc);
    }
    doc = replacement;
}

CSimpleXML::CSimpleXML(CXmlTextIn component, CXmlTextIn declaration) {
    if (SUCCEEDED(Create(component))) {
        SetInstruction(declaration);
    }
}

CSimpleXML::~CSimpleXML() = default;
CSimpleXML::CSimpleXML(const CSimpleXML& other) = default;
CSimpleXML& CSimpleXML::operator=(const CSimpleXML& other) = default;

CSimpleXML::Document* CSimpleXML::Doc() const {
    return m_document.get();
}

int CSimpleXML::Done(HRESULT status) {
    m_status = status;
    return SUCCEEDED(status) ? 1 : 0;
}

HRESULT CSimpleXML::Create(CXmlTextIn component) {
    // The document object of the operating system's XML component; libxml2 stands in for it.
    std::string name = Utf8(component.Wide());
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (name.rfind("msxml", 0) != 0 || name.find("domdocument") == std::string::npos) {
        m_document.reset();
        return m_status = REGDB_E_CLASSNOTREG;
    }
    auto document = std::make_shared<Document>();
    document->doc = xmlNewDoc(BAD_CAST "1.0");
    if (!document->doc) {
        return m_status = E_OUTOFMEMORY;
    }
    m_document = std::move(document);
    return m_status = S_OK;
}

void CSimpleXML::Release() {
    m_document.reset();
    m_status = S_OK;
}

int CSimpleXML::Empty() {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    if (xmlNodePtr root = xmlDocGetRootElement(Doc()->doc)) {
        xmlUnlinkNode(root);
        xmlFreeNode(root);
    }
    return Done(S_OK);
}

int CSimpleXML::IsEmpty() const {
    return !Doc() || !xmlDocGetRootElement(Doc()->doc) ? 1 : 0;
}

int CSimpleXML::SetInstruction(CXmlTextIn declaration) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    const std::string text = Utf8(declaration.Wide());
    const std::string version = simplexml::DeclarationItem(text, "version");
    const std::string encoding = simplexml::DeclarationItem(text, "encoding");
    if (version.empty()) {
        return Done(E_INVALIDARG);
    }
    // Saving in an encoding libxml2 does not know would fail later, where nobody asks why.
    if (!encoding.empty()) {
        xmlCharEncodingHandlerPtr handler = xmlFindCharEncodingHandler(encoding.c_str());
        if (!handler) {
            return Done(E_INVALIDARG);
        }
        xmlCharEncCloseFunc(handler);
    }
    Doc()->version = version;
    Doc()->encoding = encoding.empty() ? "UTF-8" : encoding;
    return Done(S_OK);
}

int CSimpleXML::CreateRoot(CXmlTextIn name, CXmlTextIn value, BOOL replace,
                           CXmlTextIn declaration) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    const std::string tag = Utf8(name.Wide());
    if (tag.empty() || xmlValidateName(BAD_CAST tag.c_str(), 0) != 0) {
        return Done(E_INVALIDARG);
    }
    if (!replace && xmlDocGetRootElement(Doc()->doc)) {
        return Done(E_FAIL);
    }
    const std::string previousVersion = Doc()->version;
    const std::string previousEncoding = Doc()->encoding;
    if (!SetInstruction(declaration)) {
        return 0;
    }
    xmlDocPtr doc = xmlNewDoc(BAD_CAST Doc()->version.c_str());
    xmlNodePtr root = doc ? xmlNewDocNode(doc, nullptr, BAD_CAST tag.c_str(), nullptr) : nullptr;
    if (!root) {
        if (doc) {
            xmlFreeDoc(doc);
        }
        Doc()->version = previousVersion;
        Doc()->encoding = previousEncoding;
        return Done(E_OUTOFMEMORY);
    }
    xmlDocSetRootElement(doc, root);
    const std::string text = Utf8(value.Wide());
    if (!text.empty()) {
        xmlAddChild(root, xmlNewDocText(doc, BAD_CAST text.c_str()));
    }
    Doc()->Replace(doc);
    return Done(S_OK);
}

int CSimpleXML::LoadFromBuffer(const BYTE* bytes, DWORD length) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    if (!bytes && length != 0) {
        return Done(E_POINTER);
    }
    xmlDocPtr doc =
        simplexml::Parse(reinterpret_cast<const char*>(bytes), length, nullptr, &Doc()->parseError);
    if (!doc) {
        return Done(HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    }
    Doc()->Replace(doc);
    return Done(S_OK);
}

int CSimpleXML::LoadFromStringXML(CXmlTextIn xml) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    // The text is already decoded: whatever encoding its declaration names is not applied again.
    const std::string utf8 = Utf8(xml.Wide());
    xmlDocPtr doc = simplexml::Parse(utf8.data(), utf8.size(), "UTF-8", &Doc()->parseError);
    if (!doc) {
        return Done(HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    }
    Doc()->Replace(doc);
    return Done(S_OK);
}

int CSimpleXML::Load(CXmlTextIn fileName) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    std::string bytes;
    HRESULT status = S_OK;
    if (!simplexml::ReadFile(Utf8(fileName.Wide()), &bytes, &status)) {
        Doc()->parseError.clear();
        return Done(status);
    }
    return LoadFromBuffer(reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

int CSimpleXML::Load(IStream* stream) {
    if (!Doc() || !stream) {
        return Done(E_POINTER);
    }
    std::string bytes;
    BYTE block[4096];
    for (;;) {
        ULONG got = 0;
        const HRESULT hr = stream->Read(block, sizeof block, &got);
        if (FAILED(hr)) {
            return Done(hr);
        }
        bytes.append(reinterpret_cast<const char*>(block), got);
        if (got < sizeof block) {
            break;
        }
    }
    return LoadFromBuffer(reinterpret_cast<const BYTE*>(bytes.data()),
                          static_cast<DWORD>(bytes.size()));
}

namespace {

// The document in its declared encoding, with the declaration.
bool Serialise(const CSimpleXML::Document& document, std::string* bytes) {
    xmlChar* memory = nullptr;
    int size = 0;
    xmlFree(const_cast<xmlChar*>(document.doc->version));
    document.doc->version = xmlStrdup(BAD_CAST document.version.c_str());
    xmlDocDumpFormatMemoryEnc(document.doc, &memory, &size, document.encoding.c_str(), 1);
    if (!memory) {
        return false;
    }
    bytes->assign(reinterpret_cast<const char*>(memory), static_cast<size_t>(size));
    xmlFree(memory);
    return true;
}

}  // namespace

int CSimpleXML::Save(CXmlTextIn fileName) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    std::string bytes;
    if (!Serialise(*Doc(), &bytes)) {
        return Done(E_OUTOFMEMORY);
    }
    const std::string path = Utf8(fileName.Wide());
    if (path.empty() || !simplexml::WriteFile(path, bytes)) {
        return Done(HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
    }
    return Done(S_OK);
}

int CSimpleXML::Save(IStream* stream) {
    if (!Doc() || !stream) {
        return Done(E_POINTER);
    }
    std::string bytes;
    if (!Serialise(*Doc(), &bytes)) {
        return Done(E_OUTOFMEMORY);
    }
    ULONG written = 0;
    const HRESULT hr = stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
    if (FAILED(hr)) {
        return Done(hr);
    }
    return Done(written == bytes.size() ? S_OK : HRESULT_FROM_WIN32(ERROR_WRITE_FAULT));
}

DWORD CSimpleXML::SaveToBuffer(BYTE** bytes) {
    if (!bytes) {
        Done(E_POINTER);
        return 0;
    }
    *bytes = nullptr;
    std::string text;
    if (!Doc() || !Serialise(*Doc(), &text)) {
        Done(Doc() ? E_OUTOFMEMORY : E_POINTER);
        return 0;
    }
    *bytes = new (std::nothrow) BYTE[text.size()];
    if (!*bytes) {
        Done(E_OUTOFMEMORY);
        return 0;
    }
    std::memcpy(*bytes, text.data(), text.size());
    Done(S_OK);
    return static_cast<DWORD>(text.size());
}

DWORD CSimpleXML::SaveToBuffer(BYTE* buffer, DWORD capacity) {
    std::string text;
    if (!buffer || !Doc()) {
        Done(E_POINTER);
        return 0;
    }
    if (!Serialise(*Doc(), &text)) {
        Done(E_OUTOFMEMORY);
        return 0;
    }
    // A cut document would not parse; nothing is copied unless all of it fits.
    if (text.size() > capacity) {
        Done(HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
        return 0;
    }
    std::memcpy(buffer, text.data(), text.size());
    Done(S_OK);
    return static_cast<DWORD>(text.size());
}

int CSimpleXML::SaveToStringXML(CXmlTextOut xml) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    // Serialised as UTF-8 without its declaration, then the declaration as set: the text is
    // decoded already, and reads back through LoadFromStringXML.
    xmlBufferPtr buffer = xmlBufferCreate();
    xmlSaveCtxtPtr save =
        buffer ? xmlSaveToBuffer(buffer, "UTF-8", XML_SAVE_FORMAT | XML_SAVE_NO_DECL) : nullptr;
    if (!save) {
        if (buffer) {
            xmlBufferFree(buffer);
        }
        return Done(E_OUTOFMEMORY);
    }
    xmlSaveDoc(save, Doc()->doc);
    xmlSaveClose(save);
    std::string text =
        "<?xml version=\"" + Doc()->version + "\" encoding=\"" + Doc()->encoding + "\"?>\n";
    text.append(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                static_cast<size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return Done(xml.Put(WideFromUtf8(text)) ? S_OK : E_OUTOFMEMORY);
}

int CSimpleXML::GetParseError(CXmlTextOut reason) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    return Done(reason.Put(WideFromUtf8(Doc()->parseError)) ? S_OK : E_OUTOFMEMORY);
}

void CSimpleXML::FreeText(LPSTR text) {
    delete[] text;
}

void CSimpleXML::FreeBuffer(BYTE* bytes) {
    delete[] bytes;
}
