// What a CSimpleXML holds: the libxml2 document and the declaration it is saved with. Shared by
// the copies of one wrapper.
#pragma once

#include <libxml/tree.h>

#include <string>

#include "SimpleXML.h"

struct CSimpleXML::Document {
    xmlDocPtr doc = nullptr;
    std::string version = "1.0";
    std::string encoding = "windows-1251";
    std::string parseError;  // UTF-8

    Document();
    ~Document();
    Document(const Document&) = delete;
    Document& operator=(const Document&) = delete;
    // Takes `replacement` in place of the document held.
    void Replace(xmlDocPtr replacement);
};

namespace simplexml {

// Parses UTF-8 (`forcedEncoding` "UTF-8") or bytes in the encoding they declare (null). Null on
// failure, with the reason in `error`.
xmlDocPtr Parse(const char* bytes, size_t length, const char* forcedEncoding, std::string* error);

// The index-th element named `name` in document order, or null.
xmlNodePtr FindElement(xmlDocPtr doc, const std::string& name, long index);
long CountElements(xmlDocPtr doc, const std::string& name);

}  // namespace simplexml
