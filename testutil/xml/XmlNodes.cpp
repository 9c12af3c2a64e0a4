// Elements and attributes addressed by tag name and occurrence, with typed and plain values.
#include <libxml/parser.h>

#include <cstdio>
#include <cstring>

#include "SimpleXML.h"
#include "XmlDocument.h"
#include "XmlText.h"

using simplexml::Utf8;
using simplexml::WideFromUtf8;
using simplexml::WideText;

namespace simplexml {

namespace {

// The namespace of the data type attribute, as files of the Microsoft XML component carry it.
constexpr char kTypesNamespace[] = "urn:schemas-microsoft-com:datatypes";
constexpr char kTypesPrefix[] = "dt";
constexpr char kTypeAttribute[] = "dt";

struct TypeName {
    VARTYPE type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {VT_I1, "i1"},         {VT_UI1, "ui1"}, {VT_I2, "i2"},        {VT_UI2, "ui2"},
    {VT_I4, "i4"},         {VT_UI4, "ui4"}, {VT_I8, "i8"},        {VT_UI8, "ui8"},
    {VT_R4, "r4"},         {VT_R8, "r8"},   {VT_BOOL, "boolean"}, {VT_CY, "fixed.14.4"},
    {VT_DATE, "dateTime"}, {VT_INT, "int"}, {VT_UINT, "uint"},
};

const char* NameOfType(VARTYPE type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) {
            return entry.name;
        }
    }
    return nullptr;
}

VARTYPE TypeOfName(const char* name) {
    for (const TypeName& entry : kTypeNames) {
        if (std::strcmp(entry.name, name) == 0) {
            return entry.type;
        }
    }
    return VT_BSTR;
}

std::string QualifiedName(xmlNodePtr node) {
    std::string name;
    if (node->ns && node->ns->prefix) {
        name = reinterpret_cast<const char*>(node->ns->prefix);
        name += ':';
    }
    name += reinterpret_cast<const char*>(node->name);
    return name;
}

// Walks the elements in document order; `visit` returns true to stop.
template <class Visit>
bool Walk(xmlNodePtr node, Visit& visit) {
    for (; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE) {
            continue;
        }
        if (visit(node) || Walk(node->children, visit)) {
            return true;
        }
    }
    return false;
}

// A value as the text an element holds, and back. Dates in ISO 8601, booleans 1 and 0, numbers
// as the Automation coercion writes them (no locale is involved).
bool TextOfValue(const VARIANT& value, std::string* text) {
    if (value.vt == VT_DATE) {
        SYSTEMTIME time = {};
        if (!VariantTimeToSystemTime(value.date, &time)) {
            return false;
        }
        char buffer[48];  // "YYYY-MM-DDThh:mm:ss", room for any WORD values
        std::snprintf(buffer, sizeof buffer, "%04u-%02u-%02uT%02u:%02u:%02u", time.wYear,
                      time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
        *text = buffer;
        return true;
    }
    if (value.vt == VT_BOOL) {
        *text = value.boolVal ? "1" : "0";
        return true;
    }
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, &value, 0, VT_BSTR))) {
        return false;
    }
    *text = Utf8(WideText(converted.bstrVal, SysStringLen(converted.bstrVal)));
    VariantClear(&converted);
    return true;
}

HRESULT ValueOfText(const std::string& text, VARTYPE type, VARIANT* value) {
    VariantInit(value);
    if (type == VT_DATE) {
        SYSTEMTIME time = {};
        unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
        const int got = std::sscanf(text.c_str(), "%u-%u-%uT%u:%u:%u", &year, &month, &day, &hour,
                                    &minute, &second);
        if (got != 3 && got != 6) {
            return DISP_E_TYPEMISMATCH;
        }
        time.wYear = static_cast<WORD>(year);
        time.wMonth = static_cast<WORD>(month);
        time.wDay = static_cast<WORD>(day);
        time.wHour = static_cast<WORD>(hour);
        time.wMinute = static_cast<WORD>(minute);
        time.wSecond = static_cast<WORD>(second);
        DATE date = 0;
        if (!SystemTimeToVariantTime(&time, &date)) {
            return DISP_E_TYPEMISMATCH;
        }
        value->vt = VT_DATE;
        value->date = date;
        return S_OK;
    }
    if (type == VT_BOOL) {
        if (text != "0" && text != "1") {
            return DISP_E_TYPEMISMATCH;
        }
        value->vt = VT_BOOL;
        value->boolVal = text == "1" ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    const WideText wide = WideFromUtf8(text);
    VARIANT source;
    source.vt = VT_BSTR;
    source.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (!source.bstrVal) {
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = type == VT_BSTR ? S_OK : VariantChangeType(value, &source, 0, type);
    if (type == VT_BSTR) {
        *value = source;  // handed over
        return S_OK;
    }
    VariantClear(&source);
    return hr;
}

std::string ContentOf(xmlNodePtr node) {
    xmlChar* content = xmlNodeGetContent(node);
    std::string text = content ? reinterpret_cast<const char*>(content) : "";
    xmlFree(content);
    return text;
}

// The element's content replaced by one text node (which libxml2 escapes when it writes).
void SetContent(xmlNodePtr node, const std::string& text) {
    xmlNodePtr child = node->children;
    while (child) {
        xmlNodePtr next = child->next;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
        child = next;
    }
    if (!text.empty()) {
        xmlAddChild(node, xmlNewDocText(node->doc, BAD_CAST text.c_str()));
    }
}

xmlNsPtr TypesNamespace(xmlNodePtr node) {
    xmlNsPtr ns = xmlSearchNsByHref(node->doc, node, BAD_CAST kTypesNamespace);
    return ns ? ns : xmlNewNs(node, BAD_CAST kTypesNamespace, BAD_CAST kTypesPrefix);
}

bool ValidName(const std::string& name) {
    return !name.empty() && xmlValidateName(BAD_CAST name.c_str(), 0) == 0;
}

}  // namespace

xmlNodePtr FindElement(xmlDocPtr doc, const std::string& name, long index) {
    if (!doc || index < 0) {
        return nullptr;
    }
    xmlNodePtr found = nullptr;
    long seen = 0;
    auto visit = [&](xmlNodePtr node) {
        if (QualifiedName(node) == name && seen++ == index) {
            found = node;
            return true;
        }
        return false;
    };
    Walk(doc->children, visit);
    return found;
}

long CountElements(xmlDocPtr doc, const std::string& name) {
    long count = 0;
    auto visit = [&](xmlNodePtr node) {
        count += QualifiedName(node) == name ? 1 : 0;
        return false;
    };
    if (doc) {
        Walk(doc->children, visit);
    }
    return count;
}

}  // namespace simplexml

using simplexml::FindElement;

LONG CSimpleXML::Count(CXmlTextIn name) {
    if (!Doc()) {
        Done(E_POINTER);
        return 0;
    }
    Done(S_OK);
    return static_cast<LONG>(simplexml::CountElements(Doc()->doc, Utf8(name.Wide())));
}

int CSimpleXML::AddNode(CXmlTextIn parent, CXmlTextIn name, CXmlTextIn value, LONG parentIndex) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    const std::string tag = Utf8(name.Wide());
    if (!simplexml::ValidName(tag)) {
        return Done(E_INVALIDARG);
    }
    xmlNodePtr owner = FindElement(Doc()->doc, Utf8(parent.Wide()), parentIndex);
    if (!owner) {
        return Done(E_FAIL);
    }
    xmlNodePtr node = xmlNewDocNode(Doc()->doc, nullptr, BAD_CAST tag.c_str(), nullptr);
    if (!node) {
        return Done(E_OUTOFMEMORY);
    }
    simplexml::SetContent(node, Utf8(value.Wide()));
    xmlAddChild(owner, node);
    return Done(S_OK);
}

int CSimpleXML::RemoveNode(CXmlTextIn name, LONG index) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr node = FindElement(Doc()->doc, Utf8(name.Wide()), index);
    if (!node) {
        return Done(E_FAIL);
    }
    xmlUnlinkNode(node);
    xmlFreeNode(node);
    return Done(S_OK);
}

namespace {

// The element, or with `create` a new one appended to the root; null when neither.
xmlNodePtr ElementToSet(xmlDocPtr doc, const std::string& tag, LONG index, BOOL create) {
    if (xmlNodePtr node = FindElement(doc, tag, index)) {
        return node;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (!create || !root || !simplexml::ValidName(tag)) {
        return nullptr;
    }
    xmlNodePtr node = xmlNewDocNode(doc, nullptr, BAD_CAST tag.c_str(), nullptr);
    if (node) {
        xmlAddChild(root, node);
    }
    return node;
}

}  // namespace

int CSimpleXML::SetNodeValue(CXmlTextIn name, const VARIANT& value, LONG index, BOOL create) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    const char* typeName = value.vt == VT_BSTR ? nullptr : simplexml::NameOfType(value.vt);
    std::string text;
    if ((value.vt != VT_BSTR && !typeName) || !simplexml::TextOfValue(value, &text)) {
        return Done(DISP_E_TYPEMISMATCH);
    }
    xmlNodePtr node = ElementToSet(Doc()->doc, Utf8(name.Wide()), index, create);
    if (!node) {
        return Done(E_FAIL);
    }
    simplexml::SetContent(node, text);
    if (typeName) {
        xmlSetNsProp(node, simplexml::TypesNamespace(node), BAD_CAST simplexml::kTypeAttribute,
                     BAD_CAST typeName);
    } else if (xmlNsPtr ns =
                   xmlSearchNsByHref(node->doc, node, BAD_CAST simplexml::kTypesNamespace)) {
        xmlUnsetNsProp(node, ns, BAD_CAST simplexml::kTypeAttribute);
    }
    return Done(S_OK);
}

int CSimpleXML::SetNodeValue2(CXmlTextIn name, CXmlTextIn value, LONG index, BOOL create) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr node = ElementToSet(Doc()->doc, Utf8(name.Wide()), index, create);
    if (!node) {
        return Done(E_FAIL);
    }
    simplexml::SetContent(node, Utf8(value.Wide()));
    return Done(S_OK);
}

int CSimpleXML::GetNodeValue(VARIANT* value, CXmlTextIn name, LONG index) {
    if (!value) {
        return Done(E_POINTER);
    }
    VariantInit(value);
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr node = FindElement(Doc()->doc, Utf8(name.Wide()), index);
    if (!node) {
        return Done(E_FAIL);
    }
    VARTYPE type = VT_BSTR;
    if (xmlChar* typeName = xmlGetNsProp(node, BAD_CAST simplexml::kTypeAttribute,
                                         BAD_CAST simplexml::kTypesNamespace)) {
        type = simplexml::TypeOfName(reinterpret_cast<const char*>(typeName));
        xmlFree(typeName);
    }
    return Done(simplexml::ValueOfText(simplexml::ContentOf(node), type, value));
}

int CSimpleXML::GetNodeValue2(CXmlTextOut value, CXmlTextIn name, LONG index) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr node = FindElement(Doc()->doc, Utf8(name.Wide()), index);
    if (!node) {
        return Done(E_FAIL);
    }
    return Done(value.Put(WideFromUtf8(simplexml::ContentOf(node))) ? S_OK : E_OUTOFMEMORY);
}

int CSimpleXML::SetAttribute(CXmlTextIn name, CXmlTextIn attribute, const VARIANT& value,
                             LONG index) {
    std::string text;
    if (!simplexml::TextOfValue(value, &text)) {
        return Done(DISP_E_TYPEMISMATCH);
    }
    return SetAttribute2(name, attribute, WideFromUtf8(text), index);
}

int CSimpleXML::SetAttribute2(CXmlTextIn name, CXmlTextIn attribute, CXmlTextIn value, LONG index) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    const std::string attributeName = Utf8(attribute.Wide());
    if (!simplexml::ValidName(attributeName)) {
        return Done(E_INVALIDARG);
    }
    xmlNodePtr node = FindElement(Doc()->doc, Utf8(name.Wide()), index);
    if (!node) {
        return Done(E_FAIL);
    }
    const std::string text = Utf8(value.Wide());
    return Done(xmlSetProp(node, BAD_CAST attributeName.c_str(), BAD_CAST text.c_str())
                    ? S_OK
                    : E_OUTOFMEMORY);
}

namespace {

// The attribute's text; false when the element or the attribute is missing.
HRESULT AttributeText(xmlDocPtr doc, const std::string& tag, const std::string& attribute,
                      LONG index, std::string* text) {
    xmlNodePtr node = FindElement(doc, tag, index);
    if (!node) {
        return E_FAIL;
    }
    xmlChar* value = xmlGetProp(node, BAD_CAST attribute.c_str());
    if (!value) {
        return E_FAIL;
    }
    *text = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return S_OK;
}

}  // namespace

int CSimpleXML::GetAttribute(CXmlTextIn name, CXmlTextIn attribute, VARIANT* value, LONG index,
                             VARTYPE type) {
    if (!value) {
        return Done(E_POINTER);
    }
    VariantInit(value);
    if (!Doc()) {
        return Done(E_POINTER);
    }
    if (type != VT_BSTR && !simplexml::NameOfType(type)) {
        return Done(DISP_E_BADVARTYPE);
    }
    std::string text;
    const HRESULT hr =
        AttributeText(Doc()->doc, Utf8(name.Wide()), Utf8(attribute.Wide()), index, &text);
    return Done(FAILED(hr) ? hr : simplexml::ValueOfText(text, type, value));
}

int CSimpleXML::GetAttribute2(CXmlTextIn name, CXmlTextIn attribute, CXmlTextOut value,
                              LONG index) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    std::string text;
    const HRESULT hr =
        AttributeText(Doc()->doc, Utf8(name.Wide()), Utf8(attribute.Wide()), index, &text);
    if (FAILED(hr)) {
        return Done(hr);
    }
    return Done(value.Put(WideFromUtf8(text)) ? S_OK : E_OUTOFMEMORY);
}

int CSimpleXML::RemoveAttribute(CXmlTextIn name, LONG index, CXmlTextIn attribute) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr node = FindElement(Doc()->doc, Utf8(name.Wide()), index);
    if (!node) {
        return Done(E_FAIL);
    }
    const std::string attributeName = Utf8(attribute.Wide());
    // Removing an attribute that is not there leaves the element as asked.
    xmlUnsetProp(node, BAD_CAST attributeName.c_str());
    return Done(S_OK);
}

int CSimpleXML::GetXML(CXmlTextOut xml, CXmlTextIn name, LONG index) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr node = FindElement(Doc()->doc, Utf8(name.Wide()), index);
    if (!node) {
        return Done(E_FAIL);
    }
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer) {
        return Done(E_OUTOFMEMORY);
    }
    xmlNodeDump(buffer, Doc()->doc, node, 0, 0);
    const std::string text(reinterpret_cast<const char*>(xmlBufferContent(buffer)),
                           static_cast<size_t>(xmlBufferLength(buffer)));
    xmlBufferFree(buffer);
    return Done(xml.Put(WideFromUtf8(text)) ? S_OK : E_OUTOFMEMORY);
}

int CSimpleXML::GetXML(CSimpleXML& document, CXmlTextIn name, LONG index) {
    if (!Doc() || &document == this) {
        return Done(E_POINTER);
    }
    xmlNodePtr node = FindElement(Doc()->doc, Utf8(name.Wide()), index);
    if (!node) {
        return Done(E_FAIL);
    }
    auto copy = std::make_shared<Document>();
    copy->version = Doc()->version;
    copy->encoding = Doc()->encoding;
    copy->doc = xmlNewDoc(BAD_CAST copy->version.c_str());
    xmlNodePtr root = copy->doc ? xmlDocCopyNode(node, copy->doc, 1) : nullptr;
    if (!root) {
        return Done(E_OUTOFMEMORY);
    }
    xmlDocSetRootElement(copy->doc, root);
    document.m_document = std::move(copy);
    document.m_status = S_OK;
    return Done(S_OK);
}

namespace {

HRESULT AppendCopy(xmlDocPtr doc, xmlNodePtr parent, xmlNodePtr element) {
    xmlNodePtr copy = xmlDocCopyNode(element, doc, 1);
    if (!copy) {
        return E_OUTOFMEMORY;
    }
    xmlAddChild(parent, copy);
    xmlReconciliateNs(doc, copy);
    return S_OK;
}

}  // namespace

int CSimpleXML::AddXML(CXmlTextIn parent, CXmlTextIn xml, LONG index) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr owner = FindElement(Doc()->doc, Utf8(parent.Wide()), index);
    if (!owner) {
        return Done(E_FAIL);
    }
    const std::string utf8 = Utf8(xml.Wide());
    xmlDocPtr part = simplexml::Parse(utf8.data(), utf8.size(), "UTF-8", &Doc()->parseError);
    if (!part) {
        return Done(HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
    }
    const HRESULT hr = AppendCopy(Doc()->doc, owner, xmlDocGetRootElement(part));
    xmlFreeDoc(part);
    return Done(hr);
}

int CSimpleXML::AddXML(CXmlTextIn parent, const CSimpleXML& document, LONG index) {
    if (!Doc()) {
        return Done(E_POINTER);
    }
    xmlNodePtr root = document.Doc() ? xmlDocGetRootElement(document.Doc()->doc) : nullptr;
    if (!root) {
        return Done(E_INVALIDARG);
    }
    xmlNodePtr owner = FindElement(Doc()->doc, Utf8(parent.Wide()), index);
    if (!owner) {
        return Done(E_FAIL);
    }
    return Done(AppendCopy(Doc()->doc, owner, root));
}
