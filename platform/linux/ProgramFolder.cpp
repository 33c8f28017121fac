#include "platform/linux/ProgramFolder.h"

#include <unistd.h>

std::string ProgramFolder() {
    char szPath[4096];
    const ssize_t nLength = readlink("/proc/self/exe", szPath, sizeof szPath - 1);
    if (nLength <= 0) {
        return std::string();
    }
    const std::string path(szPath, static_cast<size_t>(nLength));
    const size_t nSlash = path.rfind('/');
    return nSlash == std::string::npos ? std::string() : path.substr(0, nSlash);
}
