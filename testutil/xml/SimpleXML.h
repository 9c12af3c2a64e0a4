// CSimpleXML: an XML document addressed by tag name and occurrence, as the test utility keeps its
// settings and the printer's tables; CAIStream, a stream over a memory block to save to and load
// from bytes.
//
// An element is named by its tag and a zero-based index: the index-th element with that tag in
// the whole document, in document order. Every operation returns 1 on success and 0 on failure
// and keeps its status for GetLastError (E_FAIL past the last occurrence). Texts go in as
// Windows-1251 (LPCSTR) or wide (LPCOLESTR) and come out as a BSTR the caller frees, a new
// Windows-1251 buffer the caller frees with FreeText, or into the caller's buffer cut to its
// capacity.
//
// Values: the operations without "2" keep typed values (a VARIANT; an element keeps its type in
// a "dt:dt" attribute, as the Microsoft data types name them), the ones with "2" plain text.
// Copies share one document. Thread-safety: one document is used by one thread at a time.
#pragma once

#include <objidl.h>
#include <windows.h>

#include <memory>
#include <string>

#include "AIStream.h"

// The documents this wrapper can create; another identifier finds no component.
constexpr char kSimpleXmlDocument[] = "Msxml.FreeThreadedDOMDocument";
constexpr char kSimpleXmlDeclaration[] = "version=\"1.0\" encoding=\"windows-1251\"";

// A text argument in either width.
class SIMPLEXML_API CXmlTextIn {
  public:
    CXmlTextIn(LPCSTR ansi);     // Windows-1251; null reads as empty
    CXmlTextIn(LPCOLESTR wide);  // null reads as empty
    CXmlTextIn(const std::basic_string<OLECHAR>& wide) : m_wide(wide) {}
    const std::basic_string<OLECHAR>& Wide() const { return m_wide; }

  private:
    std::basic_string<OLECHAR> m_wide;
};

// Where a text result goes.
class SIMPLEXML_API CXmlTextOut {
  public:
    CXmlTextOut(BSTR* text);                        // a new BSTR (SysFreeString)
    CXmlTextOut(LPSTR* allocated);                  // a new Windows-1251 buffer (FreeText)
    CXmlTextOut(LPOLESTR buffer, DWORD capacity);   // cut to capacity - 1 characters
    CXmlTextOut(LPSTR buffer, DWORD capacity);      // cut to capacity - 1 bytes
    CXmlTextOut(std::basic_string<OLECHAR>* text);  // for C++ callers
    // False when there is nowhere to put it or no memory.
    bool Put(const std::basic_string<OLECHAR>& text) const;

  private:
    enum class Kind { Bstr, NewAnsi, WideBuffer, AnsiBuffer, String };
    Kind m_kind;
    void* m_target;
    DWORD m_capacity = 0;
};

class SIMPLEXML_API CSimpleXML {
  public:
    explicit CSimpleXML(CXmlTextIn component = kSimpleXmlDocument,
                        CXmlTextIn declaration = kSimpleXmlDeclaration);
    ~CSimpleXML();
    CSimpleXML(const CSimpleXML& other);
    CSimpleXML& operator=(const CSimpleXML& other);

    // A document of `component`; REGDB_E_CLASSNOTREG for one this wrapper cannot make.
    HRESULT Create(CXmlTextIn component);
    void Release();
    HRESULT GetLastError() const { return m_status; }
    bool HasDocument() const { return m_document != nullptr; }

    int Empty();
    int IsEmpty() const;
    // A new document: the declaration and one root element. Without `replace` a document that
    // has a root keeps it and the call fails.
    int CreateRoot(CXmlTextIn name, CXmlTextIn value = OLESTR(""), BOOL replace = TRUE,
                   CXmlTextIn declaration = kSimpleXmlDeclaration);
    // "version=\"1.0\" encoding=\"...\""; the encoding is the one files and buffers are saved in.
    int SetInstruction(CXmlTextIn declaration);

    int Load(CXmlTextIn fileName);
    int Load(IStream* stream);
    int Save(CXmlTextIn fileName);
    int Save(IStream* stream);
    int LoadFromStringXML(CXmlTextIn xml);
    int SaveToStringXML(CXmlTextOut xml);
    int LoadFromBuffer(const BYTE* bytes, DWORD length);
    // The document as bytes in its encoding; the length, 0 on failure. The first form allocates
    // (FreeBuffer); the second needs room for the whole document.
    DWORD SaveToBuffer(BYTE** bytes);
    DWORD SaveToBuffer(BYTE* buffer, DWORD capacity);
    // The reason the last load failed: "line L, column C: message"; empty after a good load.
    int GetParseError(CXmlTextOut reason);

    int AddNode(CXmlTextIn parent, CXmlTextIn name, CXmlTextIn value, LONG parentIndex = 0);
    int RemoveNode(CXmlTextIn name, LONG index = 0);
    int SetNodeValue(CXmlTextIn name, const VARIANT& value, LONG index = 0, BOOL create = FALSE);
    int SetNodeValue2(CXmlTextIn name, CXmlTextIn value, LONG index = 0, BOOL create = FALSE);
    // `value` is initialised first and the caller's afterwards.
    int GetNodeValue(VARIANT* value, CXmlTextIn name, LONG index = 0);
    int GetNodeValue2(CXmlTextOut value, CXmlTextIn name, LONG index = 0);
    int SetAttribute(CXmlTextIn name, CXmlTextIn attribute, const VARIANT& value, LONG index = 0);
    int SetAttribute2(CXmlTextIn name, CXmlTextIn attribute, CXmlTextIn value, LONG index = 0);
    // An attribute keeps no type of its own: it is read as `type` (text by default).
    int GetAttribute(CXmlTextIn name, CXmlTextIn attribute, VARIANT* value, LONG index = 0,
                     VARTYPE type = VT_BSTR);
    int GetAttribute2(CXmlTextIn name, CXmlTextIn attribute, CXmlTextOut value, LONG index = 0);
    int RemoveAttribute(CXmlTextIn name, LONG index, CXmlTextIn attribute);
    // The element with its content, as text or as a document of its own.
    int GetXML(CXmlTextOut xml, CXmlTextIn name, LONG index = 0);
    int GetXML(CSimpleXML& document, CXmlTextIn name, LONG index = 0);
    // Parses `xml` (or takes the other document's root) and appends it under the element.
    int AddXML(CXmlTextIn parent, CXmlTextIn xml, LONG index = 0);
    int AddXML(CXmlTextIn parent, const CSimpleXML& document, LONG index = 0);
    // The number of elements with the tag in the whole document.
    LONG Count(CXmlTextIn name);

    static void FreeText(LPSTR text);
    static void FreeBuffer(BYTE* bytes);

    struct Document;  // opaque: the library's document and its declaration

  private:
    int Done(HRESULT status);
    Document* Doc() const;

    std::shared_ptr<Document> m_document;
    HRESULT m_status = S_OK;
};
