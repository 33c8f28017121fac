// lumivorra-dialog.so: the Qt dialog host as a module that the program opens only when it shows the
// settings dialog, so that a screen-saver run maps no Qt library at all (Qt, ICU and D-Bus cost start-up
// time and tens of megabytes of memory).
#include "platform/linux/DialogModule.h"
#include "platform/linux/DialogHost.h"

extern "C" __attribute__((visibility("default"))) DialogHost* LumivorraNewDialogHost() {
    return new QtDialogHost;
}

extern "C" __attribute__((visibility("default"))) void LumivorraDeleteDialogHost(DialogHost* pHost) {
    delete pHost;
}
