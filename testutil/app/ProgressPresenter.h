// Shows the driver's progress dialog (port scan, journal read, logo upload) as a Qt progress
// dialog, through the platform's presenter hook, and keeps the utility's windows painting while
// the driver's modal loop waits for its worker.
//
// Thread-safety: the hook calls come on the thread that called the driver, which is the GUI
// thread; install and remove there.
#pragma once

#include <QString>

class QProgressDialog;
class QWidget;

class CProgressPresenter {
  public:
    // Installs itself as the process's presenter; `owner` is the window the dialog sits over.
    explicit CProgressPresenter(QWidget* owner);
    ~CProgressPresenter();  // removes itself
    CProgressPresenter(const CProgressPresenter&) = delete;
    CProgressPresenter& operator=(const CProgressPresenter&) = delete;

    // What the last shown dialog showed, for whoever wants to know after it closed.
    struct Shown {
        QString caption;
        int minimum = 0;
        int maximum = 0;
        int value = 0;
        int dialogs = 0;  // dialogs shown since installed
        bool open = false;
    };
    const Shown& LastShown() const { return m_shown; }
    QProgressDialog* Dialog() const { return m_dialog; }

  private:
    static void OnShown(void* self, HWND dialog, LPCSTR caption);
    static void OnCaption(void* self, HWND dialog, LPCSTR caption);
    static void OnProgress(void* self, HWND dialog, HWND bar, int minimum, int maximum,
                           int position);
    static void OnEnded(void* self, HWND dialog, INT_PTR result);
    static void OnIdle(void* self, HWND dialog);

    QWidget* m_owner;
    QProgressDialog* m_dialog = nullptr;
    Shown m_shown;
};
