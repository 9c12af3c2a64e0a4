// CDrvKeltortestApp: the utility's start-up. It creates the driver component by its ProgID
// through the component runtime (the utility never links the driver library), the dispatch
// wrapper, the settings document and the main dialog with its thirteen pages.
#pragma once

#include <memory>

#include "DrvKeltor.h"
#include "DrvKeltortestDlg.h"
#include "ProgressPresenter.h"
#include "SimpleXML.h"
#include "TabPage.h"

constexpr char kDriverProgId[] = "BrontalOcx.DrvKeltor";

class CDrvKeltortestApp {
  public:
    CDrvKeltortestApp();
    ~CDrvKeltortestApp();  // pages, wrapper and component released before the runtime
    CDrvKeltortestApp(const CDrvKeltortestApp&) = delete;
    CDrvKeltortestApp& operator=(const CDrvKeltortestApp&) = delete;

    // Start-up up to a main dialog ready to run; false after its message when the program must
    // end (the component is not registered or gives no dispatch interface).
    bool InitInstance();
    // Runs the main dialog modally; its result.
    int Run();

    CDrvKeltortestDlg* MainDialog() const { return m_dialog.get(); }
    CDrvKeltor* Driver() const { return m_driver.get(); }
    CSimpleXML* Settings() const { return m_settings.get(); }
    CProgressPresenter* Presenter() const { return m_presenter.get(); }
    CPageContext& Context() { return m_context; }

  private:
    bool m_comInitialized = false;
    CPageContext m_context;
    std::unique_ptr<CDrvKeltor> m_driver;
    std::unique_ptr<CSimpleXML> m_settings;
    std::unique_ptr<CDrvKeltortestDlg> m_dialog;
    std::unique_ptr<CProgressPresenter> m_presenter;
};
