// The settings dialog's host, opened on demand from the module lumivorra-dialog.so (DialogModule.cpp),
// which holds Qt: next to the program, else in the folder it is installed to (libexec/lumivorra).
//
//     std::unique_ptr<DialogModule> pModule = DialogModule::Open();   // null: no module
//     DialogHost* pHost = pModule->Host();
#pragma once

#include "platform/DialogHost.h"

#include <memory>

extern "C" {
// The module's two entry points.
DialogHost* LumivorraNewDialogHost();
void LumivorraDeleteDialogHost(DialogHost* pHost);
}

class DialogModule {
public:
    // Null, with a trace line, when the module cannot be loaded or lacks its entry points.
    static std::unique_ptr<DialogModule> Open();
    ~DialogModule();
    DialogModule(const DialogModule&) = delete;
    DialogModule& operator=(const DialogModule&) = delete;

    DialogHost* Host() const { return m_pHost; }

private:
    DialogModule() = default;

    DialogHost* m_pHost = nullptr;
    void (*m_pfnDelete)(DialogHost*) = nullptr;
};
