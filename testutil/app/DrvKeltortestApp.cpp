#include "DrvKeltortestApp.h"

#include <QCoreApplication>
#include <QFileDialog>

#include "AnsiText.h"
#include "Messages.h"
#include "Pages.h"
#include "SettingsDocument.h"

CDrvKeltortestApp::CDrvKeltortestApp() = default;

CDrvKeltortestApp::~CDrvKeltortestApp() {
    m_presenter.reset();
    m_dialog.reset();
    m_context = CPageContext();
    m_settings.reset();
    m_driver.reset();
    if (m_comInitialized) {
        CoUninitialize();
    }
}

bool CDrvKeltortestApp::InitInstance() {
    // 1. The object system, and the key of the program's own profile.
    m_comInitialized = SUCCEEDED(CoInitialize(nullptr));
    QCoreApplication::setOrganizationName(QStringLiteral("Local AppWizard-Generated Applications"));
    QCoreApplication::setApplicationName(QStringLiteral("DrvKeltortest"));

    // 2. The main dialog is made below, once the wrapper it shows exists.
    // 3. The driver component by its ProgID.
    const std::basic_string<OLECHAR> progId = ToWide(FromAnsi(kDriverProgId));
    CLSID clsid = {};
    if (FAILED(CLSIDFromProgID(progId.c_str(), &clsid))) {
        ShowMessage(nullptr, FromAnsi("Не найден компонент BrontalOcx.DrvKeltor"));
        return false;
    }
    // 4. In-process, through its dispatch interface.
    IDispatch* dispatch = nullptr;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                reinterpret_cast<void**>(&dispatch))) ||
        !dispatch) {
        ShowMessage(nullptr, FromAnsi("Ошибка получения Dispatch-интерфейса"));
        return false;
    }
    // 5. The wrapper: immediate mode, nothing recorded.
    m_driver = std::make_unique<CDrvKeltor>(dispatch);
    dispatch->Release();
    // 6. The settings document, or none: the pages then remember nothing.
    m_settings = OpenSettingsDocument(kSettingsFile);

    m_context.driver = m_driver.get();
    m_context.settings = m_settings.get();
    m_dialog = std::make_unique<CDrvKeltortestDlg>(m_context);
    CDrvKeltortestDlg* dialog = m_dialog.get();
    m_context.refresh = [dialog] { dialog->RequestRefresh(); };
    m_context.chooseFile = [](QWidget* parent, FileChoice choice, const QString& title,
                              const QString& filter) {
        return choice == FileChoice::Save
                   ? QFileDialog::getSaveFileName(parent, title, QString(), filter)
                   : QFileDialog::getOpenFileName(parent, title, QString(), filter);
    };
    m_context.chooseFolder = [](QWidget* parent, const QString& title) {
        return QFileDialog::getExistingDirectory(parent, title);
    };
    m_context.settingsReloaded = [dialog] {
        for (CTabPage* page : dialog->Pages()) {
            if (page->IsCreated()) {
                page->SettingsReloaded();
            }
        }
    };
    m_presenter = std::make_unique<CProgressPresenter>(dialog);
    // 7. The pages, in the order of the tree.
    CreatePages(*dialog, m_context);
    if (!dialog->Pages().empty()) {
        dialog->SelectPage(dialog->Pages().front());
    }
    return true;
}

int CDrvKeltortestApp::Run() {
    if (!m_dialog) {
        ShowMessage(nullptr, FromAnsi("Ошибка создания основного окна"));
        return -1;
    }
    m_dialog->RequestRefresh();
    return m_dialog->exec();
}
