#include "framework/SInput.h"
#include "TestItems.h"
#include "framework/SString.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#ifdef _WIN32
#include <windows.h>
#else
#include "platform/Files.h"

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#endif

namespace {

std::string LoadError(const char* pszName, int32_t dwLoadType) {
    SInput input;
    try {
        input.Load(pszName, dwLoadType, nullptr);
    } catch (const SString& error) {
        EXPECT_EQ(input.m_pData, nullptr);
        EXPECT_EQ(input.m_pBuffer, nullptr);
        return error.Text();
    }
    return "(no error)";
}

} // namespace

TEST(SInput, ReadsAWholeFileIntoItsOwnBlock) {
    const std::vector<uint8_t> bytes = {1, 2, 3, 0, 255};
    TempFile file(bytes);
    SInput input;
    input.Load(file.Path(), LOAD_FILE, nullptr);
    ASSERT_EQ(input.m_dwSize, bytes.size());
    EXPECT_EQ(std::vector<uint8_t>(input.m_pData, input.m_pData + input.m_dwSize), bytes);
    EXPECT_EQ(input.m_pData, input.m_pBuffer);
    input.Release();
    input.Release();
    EXPECT_EQ(input.m_pData, nullptr);

    TempFile empty({});
    input.Load(empty.Path(), LOAD_FILE, nullptr);
    EXPECT_EQ(input.m_dwSize, 0u);
}

TEST(SInput, FileFailuresNameThePath) {
    EXPECT_EQ(LoadError("/nonexistent/heightmap.bmp", LOAD_FILE),
              "/nonexistent/heightmap.bmpをオープンできませんでした。\n");
    // What is not a regular file is refused at once, with the open message: a folder, a device, a FIFO
    // with no writer (whose plain open would wait for one) or a pipe (whose read would never end).
    const std::string dir = std::filesystem::temp_directory_path().string();
    EXPECT_EQ(LoadError(dir.c_str(), LOAD_FILE), dir + "をオープンできませんでした。\n");
#ifdef _WIN32
    EXPECT_EQ(LoadError("NUL", LOAD_FILE), "NULをオープンできませんでした。\n");
    const char* pszPipe = "\\\\.\\pipe\\lumivorra-input-test";
    const HANDLE hPipe = CreateNamedPipeA(pszPipe, PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 0, 0, 0, nullptr);
    ASSERT_NE(hPipe, INVALID_HANDLE_VALUE);
    EXPECT_EQ(LoadError(pszPipe, LOAD_FILE), std::string(pszPipe) + "をオープンできませんでした。\n");
    CloseHandle(hPipe);
#else
    EXPECT_EQ(LoadError("/dev/null", LOAD_FILE), "/dev/nullをオープンできませんでした。\n");
    const std::string fifo = dir + "/lumivorra-input-test.fifo";
    std::filesystem::remove(fifo);
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Should the open wait after all, a writer comes after a few seconds, so that the test fails
    // instead of hanging.
    std::atomic<bool> bDone{false};
    std::thread writer([&] {
        for (int i = 0; i < 300 && !bDone.load(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) {
            ::close(fd);
        }
    });
    EXPECT_EQ(LoadError(fifo.c_str(), LOAD_FILE), fifo + "をオープンできませんでした。\n");
    bDone.store(true);
    writer.join();
    std::filesystem::remove(fifo);
#endif
}

#ifndef _WIN32
TEST(SInput, AFileBeyondTwoGigabytesOpensAndATerminalIsRefusedWithoutBecomingOurs) {
    // Without large-file support a 32-bit build refuses to open a file whose size (or inode number, on
    // XFS or btrfs) does not fit in 32 bits. A sparse file takes no room on the disk.
    const std::string big = std::filesystem::temp_directory_path().string() + "/lumivorra-input-big.bin";
    std::ofstream(big, std::ios::binary).put('\0');
    std::filesystem::resize_file(big, 0xC0000000u);
    PlatformFile file{};
    ASSERT_TRUE(PlatformFileOpen(big.c_str(), &file));
    uint64_t qwSize = 0;
    EXPECT_TRUE(PlatformFileSize(file, &qwSize));
    EXPECT_EQ(qwSize, 0xC0000000u);
    PlatformFileClose(file);
    std::filesystem::remove(big);

    // A session leader without a controlling terminal that opens a terminal would make it its own,
    // before it is refused as no regular file.
    const int fdMaster = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(fdMaster, 0);
    ASSERT_EQ(::grantpt(fdMaster) | ::unlockpt(fdMaster), 0);
    const std::string terminal = ::ptsname(fdMaster);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        PlatformFile tty{};
        const bool bOpened = PlatformFileOpen(terminal.c_str(), &tty);
        const int fdOwn = ::open("/dev/tty", O_RDONLY | O_NOCTTY); // only with a controlling terminal
        ::_exit(bOpened ? 2 : fdOwn >= 0 ? 3 : 0);
    }
    int nStatus = -1;
    ASSERT_EQ(::waitpid(pid, &nStatus, 0), pid);
    EXPECT_TRUE(WIFEXITED(nStatus));
    EXPECT_EQ(WEXITSTATUS(nStatus), 0) << "2: opened; 3: it became the controlling terminal";
    ::close(fdMaster);
}
#endif

TEST(SInput, FindsBuiltinItemsInPlaceIgnoringCase) {
    SetTestItem("TEST_ITEM", {9, 8, 7});
    SInput input;
    input.Load("test_item", LOAD_RESOURCE, nullptr);
    ASSERT_EQ(input.m_dwSize, 3u);
    EXPECT_EQ(input.m_pData[0], 9);
    EXPECT_EQ(input.m_pBuffer, nullptr);
    EXPECT_EQ(LoadError("NO_SUCH_ITEM", LOAD_RESOURCE), "リソースからNO_SUCH_ITEMを発見できませんでした。\n");
}
