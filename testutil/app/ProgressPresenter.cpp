#include <windows.h>

#include "ProgressPresenter.h"

#include <brontal_presenter.h>

#include <QCoreApplication>
#include <QProgressDialog>

#include "AnsiText.h"

CProgressPresenter::CProgressPresenter(QWidget* owner) : m_owner(owner) {
    BRONTAL_PRESENTER presenter = {};
    presenter.cbSize = sizeof presenter;
    presenter.context = this;
    presenter.DialogShown = OnShown;
    presenter.CaptionChanged = OnCaption;
    presenter.ProgressChanged = OnProgress;
    presenter.DialogEnded = OnEnded;
    presenter.Idle = OnIdle;
    BrontalSetPresenter(&presenter);
}

CProgressPresenter::~CProgressPresenter() {
    BrontalSetPresenter(nullptr);
    delete m_dialog;
}

void CProgressPresenter::OnShown(void* self, HWND, LPCSTR caption) {
    auto* presenter = static_cast<CProgressPresenter*>(self);
    delete presenter->m_dialog;
    // The driver's dialog has no buttons and cannot be cancelled; neither can this one.
    auto* dialog = new QProgressDialog(presenter->m_owner);
    dialog->setObjectName(QStringLiteral("driverProgress"));
    dialog->setCancelButton(nullptr);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setMinimumWidth(360);
    presenter->m_dialog = dialog;
    presenter->m_shown = Shown{QString(), 0, 0, 0, presenter->m_shown.dialogs + 1, true};
    OnCaption(self, nullptr, caption);
    dialog->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void CProgressPresenter::OnCaption(void* self, HWND, LPCSTR caption) {
    auto* presenter = static_cast<CProgressPresenter*>(self);
    presenter->m_shown.caption = FromAnsi(caption);
    if (presenter->m_dialog) {
        presenter->m_dialog->setWindowTitle(presenter->m_shown.caption);
        presenter->m_dialog->setLabelText(presenter->m_shown.caption);
    }
}

void CProgressPresenter::OnProgress(void* self, HWND, HWND, int minimum, int maximum,
                                    int position) {
    auto* presenter = static_cast<CProgressPresenter*>(self);
    presenter->m_shown.minimum = minimum;
    presenter->m_shown.maximum = maximum;
    presenter->m_shown.value = position;
    if (presenter->m_dialog) {
        presenter->m_dialog->setRange(minimum, maximum);
        presenter->m_dialog->setValue(position);
    }
}

void CProgressPresenter::OnEnded(void* self, HWND, INT_PTR) {
    auto* presenter = static_cast<CProgressPresenter*>(self);
    presenter->m_shown.open = false;
    if (presenter->m_dialog) {
        presenter->m_dialog->hide();
        presenter->m_dialog->deleteLater();
        presenter->m_dialog = nullptr;
    }
}

void CProgressPresenter::OnIdle(void*, HWND) {
    // Painting and timers, not clicks: the driver is in the middle of a call and the pages must
    // not start another one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}
