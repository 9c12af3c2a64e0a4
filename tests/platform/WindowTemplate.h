// In-memory dialog templates for the window tests, built field by field as the Windows layout
// has them.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <string>
#include <vector>

namespace windowtest {

class TemplateBuilder {
  public:
    TemplateBuilder& Style(DWORD style) {
        style_ = style;
        return *this;
    }
    TemplateBuilder& Title(const std::u16string& title) {
        title_ = title;
        return *this;
    }
    TemplateBuilder& Menu(WORD ordinal) {
        menu_ = ordinal;
        return *this;
    }
    // A control of the class named, or of a predefined class by ordinal when `name` is empty.
    TemplateBuilder& Control(WORD id, const std::u16string& name, WORD ordinal = 0) {
        items_.push_back({id, name, ordinal});
        return *this;
    }
    TemplateBuilder& Progress(WORD id) { return Control(id, u"msctls_progress32"); }

    const DLGTEMPLATE* Build() {
        bytes_.clear();
        DLGTEMPLATE dialog = {};
        dialog.style = style_;
        dialog.cdit = static_cast<WORD>(items_.size());
        dialog.cx = 100;
        dialog.cy = 20;
        Put(dialog);
        if (menu_) {
            Put<WORD>(0xFFFF);
            Put<WORD>(menu_);
        } else {
            Put<WORD>(0);
        }
        Put<WORD>(0);
        PutText(title_);
        if (style_ & DS_SETFONT) {
            Put<WORD>(8);
            PutText(u"MS Shell Dlg");
        }
        for (const Item& item : items_) {
            Align();
            DLGITEMTEMPLATE control = {};
            control.style = WS_CHILD | WS_VISIBLE;
            control.cx = 50;
            control.cy = 10;
            control.id = item.id;
            Put(control);
            if (item.name.empty()) {
                Put<WORD>(0xFFFF);
                Put<WORD>(item.ordinal);
            } else {
                PutText(item.name);
            }
            Put<WORD>(0);  // no title
            Put<WORD>(2);  // two bytes of creation data, skipped
            Put<WORD>(0xABCD);
        }
        Align();
        words_.assign(bytes_.size() / sizeof(DWORD), 0);
        std::memcpy(words_.data(), bytes_.data(), bytes_.size());
        return reinterpret_cast<const DLGTEMPLATE*>(words_.data());
    }

  private:
    struct Item {
        WORD id;
        std::u16string name;
        WORD ordinal;
    };
    template <class T>
    void Put(const T& value) {
        const BYTE* p = reinterpret_cast<const BYTE*>(&value);
        bytes_.insert(bytes_.end(), p, p + sizeof value);
    }
    void PutText(const std::u16string& text) {
        for (char16_t c : text) {
            Put<WORD>(static_cast<WORD>(c));
        }
        Put<WORD>(0);
    }
    void Align() {
        while (bytes_.size() % 4 != 0) {
            bytes_.push_back(0);
        }
    }

    DWORD style_ = DS_MODALFRAME | DS_SETFONT | WS_POPUP | WS_CAPTION;
    std::u16string title_ = u"Ждите...";
    WORD menu_ = 0;
    std::vector<Item> items_;
    std::vector<BYTE> bytes_;
    std::vector<DWORD> words_;
};

}  // namespace windowtest
