#include "platform/linux/DialogModule.h"
#include "platform/linux/ProgramFolder.h"

#include "framework/Debug.h"

#include <dlfcn.h>
#include <string>
#include <unistd.h>

#ifndef LV_DIALOG_MODULE_DIR
#define LV_DIALOG_MODULE_DIR ""
#endif

namespace {

constexpr const char* kModuleName = "lumivorra-dialog.so";

} // namespace

std::unique_ptr<DialogModule> DialogModule::Open() {
    void* pLibrary = nullptr;
    // Beside the program (the build folder), then where it is installed, relative to the program.
    const std::string program = ProgramFolder();
    const std::string installed = std::string(LV_DIALOG_MODULE_DIR);
    for (const std::string& folder :
         {program, installed.empty() ? std::string() : program + "/" + installed}) {
        if (!program.empty() && !folder.empty()) {
            pLibrary = dlopen((folder + "/" + kModuleName).c_str(), RTLD_NOW | RTLD_LOCAL);
            if (pLibrary != nullptr) {
                break;
            }
        }
    }
    if (pLibrary == nullptr) {
        Trace("DialogModule: %s cannot be loaded (%s).\n", kModuleName, dlerror());
        return nullptr;
    }
    auto pfnNew = reinterpret_cast<DialogHost* (*)()>(dlsym(pLibrary, "LumivorraNewDialogHost"));
    auto pfnDelete = reinterpret_cast<void (*)(DialogHost*)>(dlsym(pLibrary, "LumivorraDeleteDialogHost"));
    if (pfnNew == nullptr || pfnDelete == nullptr) {
        Trace("DialogModule: %s lacks its entry points.\n", kModuleName);
        dlclose(pLibrary);
        return nullptr;
    }
    std::unique_ptr<DialogModule> pModule(new DialogModule);
    pModule->m_pfnDelete = pfnDelete;
    pModule->m_pHost = pfnNew();
    return pModule;
}

DialogModule::~DialogModule() {
    if (m_pHost != nullptr) {
        m_pfnDelete(m_pHost);
    }
    // Qt stays mapped: it registers exit handlers and threads that would outlive an unloaded module.
}
