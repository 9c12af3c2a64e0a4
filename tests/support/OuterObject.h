// An outer object as a client builds one to aggregate a component's object: it answers IUnknown
// and one interface of its own and hands every other question to the inner object.
#pragma once

#include <windows.h>

namespace testsupport {

class Outer final : public IUnknown {
  public:
    explicit Outer(REFIID own) : own_(own) {}

    ULONG references = 1;
    IUnknown* inner = nullptr;
    int ownAnswers = 0;  // the questions the outer object answered itself

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == own_) {
            ++ownAnswers;
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner ? inner->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }

  private:
    IID own_;
};

}  // namespace testsupport
