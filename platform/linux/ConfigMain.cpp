// lumivorra-config: opens the settings dialog on Linux with the user's settings file, as the screen
// saver's configure mode does. Exit code 1 after the dialog, 0 after an error (its message on stderr).
#include "config/SConfigDialog.h"
#include "framework/Debug.h"
#include "framework/SString.h"
#include "platform/linux/FileStore.h"
#include "platform/linux/QtDialogHost.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QtDialogHost host;
    FileStore store;
    try {
        SConfigDialog dialog(host, store);
        dialog.Create(nullptr, "DLG_CONFIG", nullptr);
        dialog.DoModal();
    } catch (const SString& error) {
        DebugPrint("%s", error.Text());
        return 0;
    }
    return 1;
}
