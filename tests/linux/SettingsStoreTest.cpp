#include "platform/linux/SettingsStore.h"
#include "config/Settings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A fresh configuration folder for one test, removed afterwards.
class FileStoreTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "lumivorra-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_home = m_root / "config";
        m_file = m_home / "quillo" / "Lumivorra.reg";
    }
    void TearDown() override { fs::remove_all(m_root); }

    Settings Read() {
        FileStore store(m_home.string());
        Settings settings;
        ReadSettings(store, &settings, READER_DIALOG);
        return settings;
    }
    void PutFile(const std::string& text) {
        fs::create_directories(m_file.parent_path());
        std::ofstream(m_file, std::ios::binary) << text;
    }
    std::string FileText() {
        std::ifstream in(m_file, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    std::vector<std::string> FolderEntries() {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_file.parent_path())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path m_root, m_home, m_file;
};

Settings Sample() {
    Settings settings = DefaultSettings();
    settings.Nums = 300;
    settings.Color = 0x0000FF;
    for (int i = 0; i < 16; ++i) {
        settings.CustomColors[i] = 0x01020300u + static_cast<uint32_t>(i);
    }
    settings.ShowFPS = 1;
    settings.HeightMapMode = 0;
    // 255 bytes, with the characters the text form escapes and Japanese text.
    std::string path = "/地図/\"a\\b\"/";
    path += std::string(255 - path.size(), 'm');
    std::memcpy(settings.HeightMapFile, path.data(), path.size());
    settings.BumpFactor = 8;
    settings.BGMMode = 2;
    std::strcpy(settings.MusicFile, "/home/me/曲.mid");
    return settings;
}

bool SameSettings(const Settings& a, const Settings& b) {
    return std::memcmp(&a, &b, sizeof(Settings)) == 0;
}

} // namespace

TEST_F(FileStoreTest, RoundTripsAllNineValuesInAReadableFileMadeWithItsFolders) {
    EXPECT_TRUE(SameSettings(Read(), DefaultSettings()));
    EXPECT_FALSE(fs::exists(m_home)); // reading makes nothing

    {
        FileStore store(m_home.string());
        WriteSettings(store, Sample());
    }
    EXPECT_TRUE(SameSettings(Read(), Sample()));
    EXPECT_EQ(std::strlen(Read().HeightMapFile), 255u);
    EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Lumivorra.reg"});
    const std::string text = FileText();
    EXPECT_EQ(text.rfind(
                  "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\quillo\\Lumivorra]\n"
                  "\"Nums\"=dword:0000012c\n\"Color\"=dword:000000ff\n\"CustomColors\"=hex:00,03,02,01,01,",
                  0),
              0u)
        << text;
    // 255 bytes and the zero fill the 256 exactly: the plain string form.
    EXPECT_NE(text.find("\n\"HeightMapFile\"=\"/地図/\\\"a\\\\b\\\"/mmm"), std::string::npos) << text;
    EXPECT_NE(text.find("\n\"MusicFile\"=sz(256):\"/home/me/曲.mid\"\n\"ShowFPS\"=dword:00000001\n"),
              std::string::npos);

    // A second write replaces the file; values of other programs' lines are not kept, ours all are.
    Settings changed = Sample();
    changed.Nums = 7;
    FileStore store(m_home.string());
    WriteSettings(store, changed);
    EXPECT_EQ(Read().Nums, 7u);
}

TEST_F(FileStoreTest, DamagedFilesLeaveTheDefaultsForWhatCannotBeRead) {
    const std::string header =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\quillo\\Lumivorra]\n";
    const std::string cases[] = {
        "",
        std::string("\0\xff\x01garbage\n\"Nums\0\"=", 14),
        header + "\"Nums\"=dword:0000002",           // cut inside a number
        header + "\"Nums\"=dword:000000280",         // too many digits
        header + "\"Nums\"=dword:00000028 trailing", // junk after the value
        header + "\"Nums\"=dword:0000zz28",
        header + "\"Nums\"=hex(4):05,00,00,00,00", // larger than the field
        header + "\"MusicFile\"=\"/unterminated",
        header + "\"MusicFile\"=\"bad \\escape\"",
        header + "\"MusicFile\"=sz(3):\"longer than three\"",
        header + "\"CustomColors\"=hex:01,02,\\\n", // continuation cut off
        header + "\"CustomColors\"=hex:1,2,3",
        header + "Nums=dword:00000005\n=\n\"\"=dword:00000005\n[broken\n",
        header + std::string("\"Nums\0x\"=dword:00000009\n", 24), // a zero inside the name
        "[HKEY_CURRENT_USER\\Software\\quillo\\Other]\n\"Nums\"=dword:00000005\n",
        header + "\"Nums\"=dword:00000005\n" + std::string(1 << 20, ' '), // far too large to be ours
    };
    for (const std::string& text : cases) {
        PutFile(text);
        EXPECT_TRUE(SameSettings(Read(), DefaultSettings())) << text.substr(0, 120);
    }

    // Good lines among damaged ones are still read; CRLF endings and other sections are fine.
    PutFile("junk\r\n[HKEY_CURRENT_USER\\Software\\quillo\\Other]\r\n\"BGMMode\"=dword:00000000\r\n" +
            header +
            "\"Nums\"=dword:00000009\r\n\"Color\"=dword:zz\r\n\"BGMMode\"=dword:00000002\r\n"
            "\"BumpFactor\"=hex:03\r\n\"CustomColors\"=hex:01,02,03,04,\\\r\n  05,06\r\n");
    const Settings settings = Read();
    EXPECT_EQ(settings.Nums, 9u);
    EXPECT_EQ(settings.Color, 0xFF6464u);
    EXPECT_EQ(settings.BGMMode, 2u);
    EXPECT_EQ(settings.BumpFactor, 3u); // a shorter value replaces the low bytes, as a registry query does
    EXPECT_EQ(settings.CustomColors[0], 0x04030201u);
    EXPECT_EQ(settings.CustomColors[1], 0xFFFF0605u);

    // A folder in place of the file reads as nothing, and cannot be replaced.
    fs::remove(m_file);
    fs::create_directories(m_file);
    EXPECT_TRUE(SameSettings(Read(), DefaultSettings()));
    // Nor does a FIFO with no writer hold the read up.
    fs::remove(m_file);
    ASSERT_EQ(::mkfifo(m_file.c_str(), 0600), 0);
    EXPECT_TRUE(SameSettings(Read(), DefaultSettings()));
}

TEST_F(FileStoreTest, AWriteInterruptedAtAnyStepLeavesThePreviousFileWhole) {
    {
        FileStore store(m_home.string());
        WriteSettings(store, DefaultSettings());
    }
    const std::string previous = FileText();
    for (int nStep = 0; nStep < STEP_COUNT; ++nStep) {
        // The step fails, as with a full disk or an I/O error.
        {
            FileStore store(m_home.string(), [nStep](FileStoreStep step) { return step == nStep; });
            WriteSettings(store, Sample());
        }
        EXPECT_EQ(FileText(), previous) << "failed step " << nStep;
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Lumivorra.reg"}) << "failed step " << nStep;

        // The process dies at the step.
        const pid_t pid = ::fork();
        if (pid == 0) {
            FileStore store(m_home.string(), [nStep](FileStoreStep step) {
                if (step == nStep) {
                    ::_exit(0);
                }
                return false;
            });
            WriteSettings(store, Sample());
            ::_exit(1);
        }
        int nStatus = -1;
        ASSERT_EQ(::waitpid(pid, &nStatus, 0), pid);
        EXPECT_TRUE(WIFEXITED(nStatus) && WEXITSTATUS(nStatus) == 0);
        EXPECT_EQ(FileText(), previous) << "crash at step " << nStep;
        EXPECT_TRUE(SameSettings(Read(), DefaultSettings()));
        // A crash leaves its temporary file behind, never read; clear it for the next round's check.
        for (const std::string& name : FolderEntries()) {
            if (name != "Lumivorra.reg") {
                fs::remove(m_file.parent_path() / name);
            }
        }
    }
    FileStore store(m_home.string());
    WriteSettings(store, Sample());
    EXPECT_TRUE(SameSettings(Read(), Sample()));
}

TEST_F(FileStoreTest, AWriteKeepsTheFilesModeAndGoesThroughSymbolicLinksToTheirTarget) {
    const auto modeOf = [](const fs::path& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_mode & 07777;
    };
    {
        FileStore store(m_home.string());
        WriteSettings(store, DefaultSettings());
    }
    EXPECT_EQ(modeOf(m_file), 0600u); // a new file is the user's alone
    ASSERT_EQ(::chmod(m_file.c_str(), 0640), 0);
    {
        FileStore store(m_home.string());
        WriteSettings(store, Sample());
    }
    EXPECT_EQ(modeOf(m_file), 0640u);

    // A dotfile manager's link, to a relative link, to the managed copy: the copy gets the settings and the
    // links stay links. A link whose target does not exist yet gets the file made at its target.
    const fs::path managed = m_root / "dotfiles" / "lumivorra" / "Lumivorra.reg";
    const fs::path hop = m_root / "dotfiles" / "current.reg";
    for (const bool bTargetExists : {true, false}) {
        fs::remove_all(m_root / "dotfiles");
        fs::create_directories(managed.parent_path());
        if (bTargetExists) {
            std::ofstream(managed) << "";
            ASSERT_EQ(::chmod(managed.c_str(), 0644), 0);
        }
        fs::create_symlink("lumivorra/Lumivorra.reg", hop);
        fs::remove(m_file);
        fs::create_symlink(hop, m_file);
        {
            FileStore store(m_home.string());
            WriteSettings(store, Sample());
        }
        EXPECT_TRUE(fs::is_symlink(m_file)) << bTargetExists;
        EXPECT_TRUE(fs::is_symlink(hop)) << bTargetExists;
        EXPECT_TRUE(SameSettings(Read(), Sample())) << bTargetExists;
        EXPECT_EQ(modeOf(managed), bTargetExists ? 0644u : 0600u);
        EXPECT_EQ(FolderEntries(), std::vector<std::string>{"Lumivorra.reg"}); // no temporary file left
        std::vector<std::string> managedEntries;
        for (const auto& entry : fs::directory_iterator(managed.parent_path())) {
            managedEntries.push_back(entry.path().filename().string());
        }
        EXPECT_EQ(managedEntries, std::vector<std::string>{"Lumivorra.reg"});
    }
}

TEST(FileStore, TheConfigurationFolderFollowsXdgConfigHome) {
    const char* pszSavedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string savedXdg = pszSavedXdg ? pszSavedXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/somewhere/cfg", 1);
    EXPECT_EQ(FileStore::ConfigHome(), "/somewhere/cfg");
    ::setenv("XDG_CONFIG_HOME", "relative/cfg", 1); // not absolute: ignored
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(FileStore::ConfigHome(), home + "/.config");
    }
    if (pszSavedXdg) {
        ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}
