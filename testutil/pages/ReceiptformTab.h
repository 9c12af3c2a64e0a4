// "Печатные формы": the receipt header and footer line by line with their print modes, and the
// logo picture chosen, previewed, uploaded and selected.
#pragma once

#include "EditableList.h"
#include "TabPage.h"

class QLabel;
class QLineEdit;

// A line mode: as the file names it, as the list shows it, as the printer's text codes it.
struct LineMode {
    const char* file;
    const char* name;  // Windows-1251
    const char* code;
};
constexpr int kLineModeCount = 6;
extern const LineMode kLineModes[kLineModeCount];
// The mode a file names (any case); NORMAL for a missing or unknown one.
const LineMode& ModeOfFile(const QString& file);
const LineMode& ModeOfName(const QString& name);

// The printer's text of the rows: per row its mode's code, its text and a line feed; no line
// feed after a CUT or LOGO row that is the last.
QString FormText(const ListRows& rows);
// The rows of a text the printer gave.
ListRows FormRows(const QString& text);

constexpr int kFormTextLimit = 320;  // a header or footer must be shorter

class CReceiptformTab : public CTabPage {
  public:
    CReceiptformTab(CPageContext& context, CTabPage* parentPage);

    CEditableList* Header() const { return m_header; }
    CEditableList* Footer() const { return m_footer; }
    QLineEdit* LogoPath() const { return m_logoPath; }
    bool SaveToSettings();
    bool LoadFromSettings();
    void SettingsReloaded() override { LoadFromSettings(); }
    // Takes `path` as the logo picture and previews it.
    void ChooseLogo(const QString& path);

  protected:
    void Build() override;

  private:
    void Read(CCalls& calls, bool header, bool footer);
    void Write(CCalls& calls, bool header);

    CEditableList* m_header = nullptr;
    CEditableList* m_footer = nullptr;
    QLineEdit* m_logoPath = nullptr;
    QLabel* m_preview = nullptr;
    QLineEdit* m_logoName = nullptr;
};
