// lumivorra-test-wlpointer: a pointer for a Wayland session that has none (a compositor's headless
// backend), through the compositor's virtual-pointer protocol, so that the tests can move it and press
// its buttons as a user would. While it runs the seat has a pointer; each command is sent as one frame
// and answered with "ok" once the compositor has taken it (a round trip).
//
//   lumivorra-test-wlpointer        (one command a line from stdin; it ends at the end of stdin)
//     move DX DY            relative motion, in the compositor's pixels
//     moveto X Y W H        absolute motion: to X of W and Y of H across all outputs
//     button left|middle|right   a press and a release

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <linux/input-event-codes.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

zwlr_virtual_pointer_manager_v1* g_pManager = nullptr;

void OnGlobal(void* /*pData*/, wl_registry* pRegistry, uint32_t uName, const char* pszInterface,
              uint32_t /*uVersion*/) {
    if (std::strcmp(pszInterface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        g_pManager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(pRegistry, uName, &zwlr_virtual_pointer_manager_v1_interface, 1));
    }
}

void OnGlobalRemove(void* /*pData*/, wl_registry* /*pRegistry*/, uint32_t /*uName*/) {}

const wl_registry_listener REGISTRY_LISTENER = {OnGlobal, OnGlobalRemove};

uint32_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

bool ParseInt(const std::string& text, long* pValue) {
    char* pEnd = nullptr;
    errno = 0;
    *pValue = std::strtol(text.c_str(), &pEnd, 10);
    return !text.empty() && *pEnd == '\0' && errno == 0 && *pValue > -100000 && *pValue < 100000;
}

// Sends one command; false with a message on stderr when it is not one.
bool Send(zwlr_virtual_pointer_v1* pPointer, const std::vector<std::string>& words) {
    std::vector<long> numbers;
    for (size_t i = 1; i < words.size(); ++i) {
        long nValue = 0;
        if (ParseInt(words[i], &nValue)) {
            numbers.push_back(nValue);
        }
    }
    const std::string& command = words.empty() ? std::string() : words[0];
    if (command == "move" && words.size() == 3 && numbers.size() == 2) {
        zwlr_virtual_pointer_v1_motion(pPointer, NowMs(), wl_fixed_from_int(static_cast<int>(numbers[0])),
                                       wl_fixed_from_int(static_cast<int>(numbers[1])));
    } else if (command == "moveto" && words.size() == 5 && numbers.size() == 4 && numbers[0] >= 0 &&
               numbers[1] >= 0 && numbers[2] > numbers[0] && numbers[3] > numbers[1]) {
        zwlr_virtual_pointer_v1_motion_absolute(
            pPointer, NowMs(), static_cast<uint32_t>(numbers[0]), static_cast<uint32_t>(numbers[1]),
            static_cast<uint32_t>(numbers[2]), static_cast<uint32_t>(numbers[3]));
    } else if (command == "button" && words.size() == 2) {
        uint32_t uButton = 0;
        if (words[1] == "left") {
            uButton = BTN_LEFT;
        } else if (words[1] == "middle") {
            uButton = BTN_MIDDLE;
        } else if (words[1] == "right") {
            uButton = BTN_RIGHT;
        } else {
            std::cerr << "lumivorra-test-wlpointer: no button \"" << words[1] << "\" (left, middle, right)\n";
            return false;
        }
        zwlr_virtual_pointer_v1_button(pPointer, NowMs(), uButton, WL_POINTER_BUTTON_STATE_PRESSED);
        zwlr_virtual_pointer_v1_frame(pPointer);
        zwlr_virtual_pointer_v1_button(pPointer, NowMs(), uButton, WL_POINTER_BUTTON_STATE_RELEASED);
    } else {
        std::string line;
        for (const std::string& word : words) {
            line += (line.empty() ? "" : " ") + word;
        }
        std::cerr << "lumivorra-test-wlpointer: not a command: \"" << line
                  << "\" (move DX DY, moveto X Y W H, button left|middle|right)\n";
        return false;
    }
    zwlr_virtual_pointer_v1_frame(pPointer);
    return true;
}

std::vector<std::string> Words(const std::string& line) {
    std::istringstream stream(line);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) {
        words.push_back(word);
    }
    return words;
}

} // namespace

int main(int argc, char** /*argv*/) {
    if (argc != 1) {
        std::cerr << "lumivorra-test-wlpointer: takes its commands from stdin, one a line\n";
        return 2;
    }
    wl_display* pDisplay = wl_display_connect(nullptr);
    if (pDisplay == nullptr) {
        std::cerr << "lumivorra-test-wlpointer: no Wayland compositor (WAYLAND_DISPLAY)\n";
        return 1;
    }
    wl_registry* pRegistry = wl_display_get_registry(pDisplay);
    wl_registry_add_listener(pRegistry, &REGISTRY_LISTENER, nullptr);
    wl_display_roundtrip(pDisplay);
    if (g_pManager == nullptr) {
        std::cerr << "lumivorra-test-wlpointer: the compositor offers no virtual pointers\n";
        wl_display_disconnect(pDisplay);
        return 1;
    }
    // No seat named: the compositor's default one.
    zwlr_virtual_pointer_v1* pPointer =
        zwlr_virtual_pointer_manager_v1_create_virtual_pointer(g_pManager, nullptr);
    int nResult = wl_display_roundtrip(pDisplay) < 0 ? 1 : 0;

    for (std::string line; nResult == 0 && std::getline(std::cin, line);) {
        const std::vector<std::string> words = Words(line);
        if (words.empty()) {
            continue;
        }
        if (!Send(pPointer, words)) {
            nResult = 2;
        } else if (wl_display_roundtrip(pDisplay) < 0) {
            nResult = 1;
        } else {
            std::cout << "ok" << std::endl;
        }
    }
    if (nResult == 1) {
        std::cerr << "lumivorra-test-wlpointer: the connection to the compositor failed\n";
    }
    zwlr_virtual_pointer_v1_destroy(pPointer);
    zwlr_virtual_pointer_manager_v1_destroy(g_pManager);
    wl_registry_destroy(pRegistry);
    wl_display_roundtrip(pDisplay);
    wl_display_disconnect(pDisplay);
    return nResult;
}
