// The table pages "Валюта", "Отделы" and "Платежи": a printer table read into an editable list,
// written back, and kept in its section of the settings document.
#pragma once

#include <vector>

#include "EditableList.h"
#include "TabPage.h"

class QLineEdit;

class CTableListPage : public CTabPage {
  public:
    CEditableList* List() const { return m_list; }
    // The list into its section of "settings.xml"; false after its message.
    bool SaveToSettings();
    // The list from its section; false when the document has none.
    bool LoadFromSettings();
    void SettingsReloaded() override { LoadFromSettings(); }

  protected:
    CTableListPage(const QString& title, CTabPage* parentPage, CPageContext& context,
                   const char* section, std::vector<ListColumn> columns, int maxRows,
                   std::vector<const DrvMember*> readMembers,
                   std::vector<const DrvMember*> writeMembers);
    void Build() override;
    // Controls of the page besides the list (row 2 on of the page's grid).
    virtual void BuildExtra() {}
    virtual void ReadTable(CCalls& calls) = 0;
    virtual void WriteTable(CCalls& calls) = 0;
    // The section's own attributes, and one row's element "MNEMO" and its attributes.
    virtual bool DecorateSection(CSimpleXML&) { return true; }
    virtual bool DecorateItem(CSimpleXML&, const QStringList&) { return true; }
    // The rows of a section read back.
    virtual void ReadSection(CSimpleXML& section) = 0;

    // Names and numbers of the rows (numbered rows: column 0 the number, column 1 the name).
    void ShowNumbered(const QStringList& names, const std::vector<USHORT>& numbers);
    const char* m_section;

  private:
    std::vector<ListColumn> m_columns;
    int m_maxRows;
    std::vector<const DrvMember*> m_readMembers;
    std::vector<const DrvMember*> m_writeMembers;
    CEditableList* m_list = nullptr;
};

class CCurrSettingsTab : public CTableListPage {
  public:
    CCurrSettingsTab(CPageContext& context, CTabPage* parentPage);
    QLineEdit* DefaultCurrency() const { return m_default; }

  protected:
    void BuildExtra() override;
    void ReadTable(CCalls& calls) override;
    void WriteTable(CCalls& calls) override;
    bool DecorateSection(CSimpleXML& section) override;
    bool DecorateItem(CSimpleXML& item, const QStringList& row) override;
    void ReadSection(CSimpleXML& section) override;

  private:
    QLineEdit* m_default = nullptr;
};

// Departments and payment facilities: numbered names.
class CNumberedTablePage : public CTableListPage {
  protected:
    CNumberedTablePage(const QString& title, CTabPage* parentPage, CPageContext& context,
                       const char* section, int maxRows, const DrvMember& read,
                       const DrvMember& write);
    void BuildExtra() override;
    void ReadTable(CCalls& calls) override;
    void WriteTable(CCalls& calls) override;
    void ReadSection(CSimpleXML& section) override;

  private:
    const DrvMember& m_read;
    const DrvMember& m_write;
};

class CDeptSettingsTab : public CNumberedTablePage {
  public:
    CDeptSettingsTab(CPageContext& context, CTabPage* parentPage);
};

class CPaySettingsTab : public CNumberedTablePage {
  public:
    CPaySettingsTab(CPageContext& context, CTabPage* parentPage);
};
