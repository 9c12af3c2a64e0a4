#include "XmlText.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "SimpleXML.h"

namespace simplexml {

WideText WideFromCodePage(UINT codePage, const char* text, size_t length) {
    if (!text || length == 0) {
        return WideText();
    }
    const int count = MultiByteToWideChar(codePage, 0, text, static_cast<int>(length), nullptr, 0);
    if (count <= 0) {
        return WideText();
    }
    WideText wide(static_cast<size_t>(count), OLECHAR(0));
    MultiByteToWideChar(codePage, 0, text, static_cast<int>(length), wide.data(), count);
    return wide;
}

std::string CodePageFromWide(UINT codePage, const WideText& text) {
    if (text.empty()) {
        return std::string();
    }
    const int count = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0, nullptr, nullptr);
    if (count <= 0) {
        return std::string();
    }
    std::string bytes(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(),
                        count, nullptr, nullptr);
    return bytes;
}

}  // namespace simplexml

using simplexml::WideText;

CXmlTextIn::CXmlTextIn(LPCSTR ansi)
    : m_wide(ansi ? simplexml::WideFromCodePage(CP_ACP, ansi, std::strlen(ansi)) : WideText()) {}

CXmlTextIn::CXmlTextIn(LPCOLESTR wide) : m_wide(wide ? wide : OLESTR("")) {}

CXmlTextOut::CXmlTextOut(BSTR* text) : m_kind(Kind::Bstr), m_target(text) {}
CXmlTextOut::CXmlTextOut(LPSTR* allocated) : m_kind(Kind::NewAnsi), m_target(allocated) {}
CXmlTextOut::CXmlTextOut(LPOLESTR buffer, DWORD capacity)
    : m_kind(Kind::WideBuffer), m_target(buffer), m_capacity(capacity) {}
CXmlTextOut::CXmlTextOut(LPSTR buffer, DWORD capacity)
    : m_kind(Kind::AnsiBuffer), m_target(buffer), m_capacity(capacity) {}
CXmlTextOut::CXmlTextOut(WideText* text) : m_kind(Kind::String), m_target(text) {}

bool CXmlTextOut::Put(const WideText& text) const {
    if (!m_target) {
        return false;
    }
    switch (m_kind) {
        case Kind::Bstr: {
            BSTR copy = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
            *static_cast<BSTR*>(m_target) = copy;
            return copy != nullptr;
        }
        case Kind::NewAnsi: {
            const std::string ansi = simplexml::CodePageFromWide(CP_ACP, text);
            auto* copy = new (std::nothrow) char[ansi.size() + 1];
            if (copy) {
                std::memcpy(copy, ansi.c_str(), ansi.size() + 1);
            }
            *static_cast<LPSTR*>(m_target) = copy;
            return copy != nullptr;
        }
        case Kind::WideBuffer: {
            if (m_capacity == 0) {
                return false;
            }
            const size_t length = std::min<size_t>(text.size(), m_capacity - 1);
            auto* buffer = static_cast<LPOLESTR>(m_target);
            std::memcpy(buffer, text.data(), length * sizeof(OLECHAR));
            buffer[length] = 0;
            return true;
        }
        case Kind::AnsiBuffer: {
            if (m_capacity == 0) {
                return false;
            }
            const std::string ansi = simplexml::CodePageFromWide(CP_ACP, text);
            const size_t length = std::min<size_t>(ansi.size(), m_capacity - 1);
            auto* buffer = static_cast<LPSTR>(m_target);
            std::memcpy(buffer, ansi.data(), length);
            buffer[length] = '\0';
            return true;
        }
        case Kind::String:
            *static_cast<WideText*>(m_target) = text;
            return true;
    }
    return false;
}
