#include "platform/linux/SettingsStore.h"

#include "platform/linux/RegText.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A settings file is a few hundred bytes; anything this large is not one.
constexpr off_t MAX_FILE_SIZE = 1 << 20;

bool ValidName(const char* pszName) {
    const std::string name(pszName);
    return !name.empty() && name != "." && name != ".." && name.find_first_of("/\\") == std::string::npos;
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

bool IsFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The whole file, or nothing when it is missing, unreadable, not a regular file or implausibly large.
std::string ReadWholeFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return {};
    }
    std::string text;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= MAX_FILE_SIZE) {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof(buffer));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0 || text.size() + static_cast<size_t>(n) > static_cast<size_t>(MAX_FILE_SIZE)) {
                if (n != 0) {
                    text.clear();
                }
                break;
            }
            text.append(buffer, static_cast<size_t>(n));
        }
    }
    ::close(fd);
    return text;
}

bool MakeFolders(const std::string& path) {
    for (size_t nSlash = path.find('/', 1);; nSlash = path.find('/', nSlash + 1)) {
        const std::string folder = path.substr(0, nSlash);
        if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
            return false;
        }
        if (nSlash == std::string::npos) {
            return IsFolder(path);
        }
    }
}

bool WriteAll(int fd, const char* pText, size_t nSize) {
    while (nSize > 0) {
        const ssize_t n = ::write(fd, pText, nSize);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        pText += n;
        nSize -= static_cast<size_t>(n);
    }
    return true;
}

// Where a write of path lands: path itself, or the file its chain of symbolic links ends at (a dotfile
// manager's link must stay a link to the user's managed copy). Empty for a loop of links.
std::string FinalTarget(std::string path) {
    for (int nHops = 0; nHops < 40; ++nHops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return path;
        }
        std::string target(4096, '\0');
        const ssize_t nLength = ::readlink(path.c_str(), target.data(), target.size());
        if (nLength <= 0 || static_cast<size_t>(nLength) >= target.size()) {
            return path;
        }
        target.resize(static_cast<size_t>(nLength));
        path = target[0] == '/' ? target : path.substr(0, path.rfind('/') + 1) + target;
    }
    return {};
}

} // namespace

FileStore::FileStore(std::string configHome, std::function<bool(FileStoreStep)> pfnFault)
    : m_home(configHome.empty() ? ConfigHome() : std::move(configHome)), m_pfnFault(std::move(pfnFault)) {}

std::string FileStore::ConfigHome() {
    const char* pszConfig = std::getenv("XDG_CONFIG_HOME");
    if (pszConfig != nullptr && pszConfig[0] == '/') {
        return pszConfig;
    }
    const char* pszHome = std::getenv("HOME");
    if (pszHome != nullptr && pszHome[0] == '/') {
        return std::string(pszHome) + "/.config";
    }
    const passwd* pUser = ::getpwuid(::getuid());
    if (pUser != nullptr && pUser->pw_dir != nullptr && pUser->pw_dir[0] == '/') {
        return std::string(pUser->pw_dir) + "/.config";
    }
    return {};
}

std::string FileStore::PathOf(const std::vector<std::string>& levels) const {
    std::string path = m_home;
    for (size_t i = 1; i < levels.size(); ++i) {
        path += "/" + levels[i];
    }
    return path;
}

std::string FileStore::IdOf(const std::vector<std::string>& levels) {
    std::string id = "HKEY_CURRENT_USER";
    for (const std::string& level : levels) {
        id += "\\" + level;
    }
    return id;
}

bool FileStore::Open(StoreKey hParent, const char* pszName, bool bCreate, StoreKey* phKey) {
    *phKey = STORE_NO_KEY;
    Handle handle{{}, bCreate};
    if (hParent == STORE_CURRENT_USER) {
        // Only the software branch of the user's root has a place on disk.
        if (Lower(pszName) != "software" || m_home.empty()) {
            return false;
        }
    } else {
        const auto it = m_handles.find(hParent);
        if (it == m_handles.end() || !ValidName(pszName)) {
            return false;
        }
        handle.levels = it->second.levels;
    }
    handle.levels.push_back(pszName);
    const std::string id = Lower(IdOf(handle.levels));
    auto itKey = m_keys.find(id);
    if (itKey == m_keys.end()) {
        const std::string path = PathOf(handle.levels);
        const bool bExists = handle.levels.size() == 1 || IsFolder(path) || IsFile(path + ".reg");
        if (!bExists && !bCreate) {
            return false;
        }
        itKey = m_keys.emplace(id, KeyState{}).first;
        if (handle.levels.size() > 1) {
            ParseRegText(ReadWholeFile(path + ".reg"), IdOf(handle.levels), &itKey->second.values);
        }
    }
    ++itKey->second.nOpen;
    *phKey = m_hNext++;
    m_handles.emplace(*phKey, std::move(handle));
    return true;
}

bool FileStore::OpenKey(StoreKey hParent, const char* pszName, StoreKey* phKey) {
    return Open(hParent, pszName, false, phKey);
}

bool FileStore::CreateKey(StoreKey hParent, const char* pszName, StoreKey* phKey) {
    return Open(hParent, pszName, true, phKey);
}

bool FileStore::QueryValue(StoreKey hKey, const char* pszName, uint32_t* pdwType, void* pData,
                           uint32_t* pdwSize) {
    const auto it = m_handles.find(hKey);
    return it != m_handles.end() &&
           m_keys[Lower(IdOf(it->second.levels))].values.Query(pszName, pdwType, pData, pdwSize);
}

bool FileStore::SetValue(StoreKey hKey, const char* pszName, uint32_t dwType, const void* pData,
                         uint32_t dwSize) {
    const auto it = m_handles.find(hKey);
    // The root folder itself holds no values: a file for it would sit beside everyone's settings.
    if (it == m_handles.end() || !it->second.bWritable || it->second.levels.size() < 2) {
        return false;
    }
    KeyState& key = m_keys[Lower(IdOf(it->second.levels))];
    key.values.Set(pszName, dwType, pData, dwSize);
    key.bChanged = true;
    return true;
}

void FileStore::CloseKey(StoreKey hKey) {
    const auto it = m_handles.find(hKey);
    if (it == m_handles.end()) {
        return;
    }
    const std::vector<std::string> levels = it->second.levels;
    m_handles.erase(it);
    const auto itKey = m_keys.find(Lower(IdOf(levels)));
    if (--itKey->second.nOpen > 0) {
        return;
    }
    if (itKey->second.bChanged) {
        WriteAtomically(PathOf(levels) + ".reg", FormatRegText(IdOf(levels), itKey->second.values));
    }
    m_keys.erase(itKey);
}

bool FileStore::WriteAtomically(const std::string& linkPath, const std::string& text) {
    const auto fails = [this](FileStoreStep step) { return m_pfnFault && m_pfnFault(step); };
    // The new file is made beside the link's target and replaces it there, with the old file's mode.
    const std::string path = FinalTarget(linkPath);
    if (path.empty()) {
        return false;
    }
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) ? (old.st_mode & 0777) : 0600;
    const std::string folder = path.substr(0, path.rfind('/'));
    if (fails(STEP_MAKE_FOLDERS) || !MakeFolders(folder)) {
        return false;
    }
    std::string temp = path + ".XXXXXX";
    const int fd = fails(STEP_OPEN_TEMP) ? -1 : ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    bool bWritten = ::fchmod(fd, mode) == 0;
    bWritten = bWritten && (fails(STEP_WRITE) ? (WriteAll(fd, text.data(), text.size() / 2), false)
                                              : WriteAll(fd, text.data(), text.size()));
    bWritten = bWritten && !fails(STEP_FLUSH) && ::fsync(fd) == 0;
    const bool bClosed = ::close(fd) == 0 && !fails(STEP_CLOSE);
    if (!bWritten || !bClosed || fails(STEP_RENAME) || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    // The rename itself reaches the disk with the folder.
    const int fdFolder = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fdFolder >= 0) {
        ::fsync(fdFolder);
        ::close(fdFolder);
    }
    return true;
}
