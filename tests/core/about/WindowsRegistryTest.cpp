// GetKeyValue over the real registry (Windows, or Wine), on values this test writes below
// HKEY_CURRENT_USER\Software\VelmorixTest and removes again.
#include <windows.h>

#include <string>

#include "about/WindowsRegistryPlatform.h"
#include "about/frmAbout2.h"
#include "testing/AppFixture.h"

namespace apptest {
namespace {

constexpr const char* kTestRoot = "Software\\VelmorixTest";
constexpr const char* kTestKey = "Software\\VelmorixTest\\About";
const std::int32_t kCurrentUser = static_cast<std::int32_t>(0x80000001u);

class WindowsRegistryTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        startQuietly();
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        const std::string text = "C:\\Program Files\\Tools\\MSINFO32.EXE";
        const DWORD number = 0x12345678;
        const BYTE bytes[] = {1, 2, 3};
        ::RegSetValueExA(key, "Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
        ::RegSetValueExA(key, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                         sizeof number);
        ::RegSetValueExA(key, "Bytes", 0, REG_BINARY, bytes, sizeof bytes);
        ::RegCloseKey(key);
    }
    void TearDown() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
        AppFixture::TearDown();
    }
};

TEST_F(WindowsRegistryTest, GetKeyValue_ReadsWhatTheRegistryHolds) {
    struct Case {
        const char* key;
        const char* value;
        bool result;
        std::string expected;  // KeyVal after the call, which starts as "keep"
    };
    const Case cases[] = {
        {kTestKey, "Text", true, "C:\\Program Files\\Tools\\MSINFO32.EXE"},
        {kTestKey, "Number", true, "&h12345678"},
        {kTestKey, "Bytes", true, "keep"},
        {kTestKey, "Missing", false, ""},
        {"Software\\VelmorixTest\\NoSuchKey", "Text", false, ""},
    };
    about::WindowsRegistryPlatform platform;
    about::frmAbout2 box(app->link(), platform);
    for (const Case& c : cases) {
        std::string value = "keep";
        EXPECT_EQ(box.GetKeyValue(kCurrentUser, c.key, c.value, value), c.result) << c.value;
        EXPECT_EQ(value, c.expected) << c.value;
    }
}

TEST_F(WindowsRegistryTest, FileExists_FilesOnlyNotFolders) {
    about::WindowsRegistryPlatform platform;
    char windows[MAX_PATH] = {};
    ASSERT_NE(::GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    EXPECT_TRUE(platform.fileExists(std::string(windows) + "\\notepad.exe"));
    EXPECT_FALSE(platform.fileExists(windows));
    EXPECT_FALSE(platform.fileExists(std::string(windows) + "\\no-such-program.exe"));
    EXPECT_FALSE(platform.startProgram(std::string(windows) + "\\no-such-program.exe"));
}

}  // namespace
}  // namespace apptest
