// The About box: its texts, one instance loaded afresh after OK, and System Info over a fake
// registry.
#include <map>
#include <set>
#include <utility>

#include "about/frmAbout2.h"
#include "testing/AppFixture.h"

namespace apptest {
namespace {

using about::SystemInfoPlatform;

// A registry held in maps; it records which keys are open, what was tested and started.
class FakeRegistry : public SystemInfoPlatform {
  public:
    struct Value {
        std::uint32_t type;
        std::string data;
    };

    bool openKey(std::int32_t root, const std::string& keyName, std::uint32_t access,
                 std::uint32_t& key) override {
        if (root != kLocalMachine || access != about::frmAbout2::kKeyAccess ||
            keys.count(keyName) == 0) {
            return false;
        }
        key = nextKey++;
        open[key] = keyName;
        return true;
    }
    bool queryValue(std::uint32_t key, const std::string& valueName, std::size_t capacity,
                    std::string& data, std::uint32_t& type) override {
        auto k = open.find(key);
        if (k == open.end()) {
            return false;
        }
        auto v = values.find({k->second, valueName});
        if (v == values.end() || v->second.data.size() > capacity) {
            return false;
        }
        data = v->second.data;
        type = v->second.type;
        return true;
    }
    void closeKey(std::uint32_t key) override { open.erase(key); }
    bool fileExists(const std::string& path) override {
        tested.push_back(path);
        return files.count(path) != 0;
    }
    bool startProgram(const std::string& path) override {
        started.push_back(path);
        return startWorks;
    }

    // Adds a value, and its key.
    void set(const std::string& key, const std::string& name, std::uint32_t type,
             std::string data) {
        keys.insert(key);
        values[{key, name}] = {type, std::move(data)};
    }

    std::set<std::string> keys;
    std::map<std::pair<std::string, std::string>, Value> values;
    std::map<std::uint32_t, std::string> open;
    std::set<std::string> files;
    std::vector<std::string> tested;
    std::vector<std::string> started;
    bool startWorks = true;
    std::uint32_t nextKey = 0x100;
};

const std::string kTools = about::frmAbout2::kSysInfoKey;
const std::string kLocation = about::frmAbout2::kSysInfoFolderKey;

class AboutBoxTest : public AppFixture {
  protected:
    void SetUp() override {
        AppFixture::SetUp();
        startQuietly();
    }
    about::frmAbout2& box() { return app->aboutBox(); }
    std::string unavailable() { return entry("System Information Is Unavailable At This Time"); }

    FakeRegistry registry;
};

TEST_F(AboutBoxTest, Shown_TitleVersionDescriptionDisclaimerAndHiddenSysInfo) {
    main().frmAbout_Click();
    auto& b = box();
    EXPECT_TRUE(b.Visible);
    EXPECT_EQ(b.Caption, "About Velmorix_I2C_Comm");
    EXPECT_EQ(b.lblTitle.Caption, "Velmorix_I2C_Comm");
    EXPECT_EQ(b.lblVersion.Caption, "Version 3.1.6");
    EXPECT_EQ(b.lblDescription.Caption, "");
    EXPECT_EQ(b.lblDisclaimer[0].Caption, "ACCURACY OF INFORMATION");
    // One sentence after another, without a final full stop.
    EXPECT_EQ(b.lblDisclaimer[1].Caption,
              "Every effort has been made to make sure that the information presented here is "
              "accurate. Velmorix nevertheless takes no responsibility for the accuracy of this "
              "information. Product information is subject to change without notice. Any such "
              "changes are taken into new editions of these publications. Velmorix may at any "
              "time, and without notice, make improvements or changes to the products and the "
              "programs that this information describes");
    EXPECT_EQ(b.cmdOK.Caption, "OK");
    EXPECT_EQ(b.cmdSysInfo.Caption, "&System Info...");
    EXPECT_FALSE(b.cmdSysInfo.Visible);
    EXPECT_EQ(log(), "");
}

TEST_F(AboutBoxTest, ShownTwiceThenOk_OneInstanceLoadedAfreshOnNextUse) {
    app->showAboutBox();
    auto* first = &box();
    box().lblVersion.Caption = "changed while open";
    app->showAboutBox();
    EXPECT_EQ(&box(), first);
    EXPECT_EQ(box().lblVersion.Caption, "changed while open");
    EXPECT_EQ(navigator.aboutBoxes, 2);

    box().cmdOK_Click();
    EXPECT_FALSE(app->aboutBoxLoaded());
    EXPECT_FALSE(first->Visible);
    app->startupWindow().mnuAbout_Click();
    EXPECT_TRUE(box().Visible);
    EXPECT_EQ(box().lblVersion.Caption, "Version 3.1.6");
    EXPECT_EQ(navigator.aboutBoxes, 3);
}

struct KeyCase {
    const char* name;
    const char* storedAs;  // the value's name under the key; nullptr: no key at all
    std::uint32_t type;
    std::string data;  // as the registry returns it
    bool result;
    std::string keyVal;  // KeyVal after the call, which held "before"
};

class GetKeyValueTest : public AboutBoxTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(GetKeyValueTest, ValueRead_TextAsTheTypeSaysAndKeyClosed) {
    const KeyCase& c = GetParam();
    if (c.storedAs != nullptr) {
        registry.set(kTools, c.storedAs, c.type, c.data);
    }
    about::frmAbout2 b(app->link(), registry);
    std::string keyVal = "before";
    EXPECT_EQ(b.GetKeyValue(SystemInfoPlatform::kLocalMachine, kTools, "PATH", keyVal), c.result);
    EXPECT_EQ(keyVal, c.keyVal);
    EXPECT_TRUE(registry.open.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, GetKeyValueTest,
    ::testing::Values(
        KeyCase{"TextWithClosingZero", "PATH", 1, std::string("C:\\MSINFO32.EXE\0", 16), true,
                "C:\\MSINFO32.EXE"},
        KeyCase{"TextWithoutClosingZero", "PATH", 1, "C:\\Tools", true, "C:\\Tools"},
        KeyCase{"Number", "PATH", 4, std::string("\x05\x01\x00\x00", 4), true, "&h105"},
        // Per-byte digits would give "00111" for both of these.
        KeyCase{"NumberSmall", "PATH", 4, std::string("\x11\x01\x00\x00", 4), true, "&h111"},
        KeyCase{"NumberOther", "PATH", 4, std::string("\x01\x11\x00\x00", 4), true, "&h1101"},
        KeyCase{"OtherType", "PATH", 3, "\x01\x02", true, "before"},
        KeyCase{"MissingValue", "OTHER", 1, "x", false, ""},
        KeyCase{"MissingKey", nullptr, 1, "", false, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AboutBoxTest, StartSysInfo_RegistryCases_StartsTheToolOrLogsUnavailable) {
    struct Case {
        const char* name;
        bool fullPath;   // the first key gives the path
        bool folder;     // the second key gives the folder
        bool fileThere;  // MSINFO32.EXE exists in that folder
        bool startWorks;
        std::vector<std::string> started;
        bool logged;
    };
    const std::string stored = "D:\\Not\\Checked.exe";
    const std::string inFolder = "C:\\Tools\\MSINFO32.EXE";
    const std::vector<Case> cases = {
        {"full path, started unchecked", true, true, false, true, {stored}, false},
        {"full path, start fails", true, false, false, false, {stored}, true},
        {"folder with the tool", false, true, true, true, {inFolder}, false},
        {"folder without the tool", false, true, false, true, {}, true},
        {"no keys", false, false, false, true, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeRegistry r;
        if (c.fullPath) {
            r.set(kTools, "PATH", 1, stored + '\0');
        }
        if (c.folder) {
            r.set(kLocation, "MSINFO", 1, "C:\\Tools");
        }
        if (c.fileThere) {
            r.files.insert(inFolder);
        }
        r.startWorks = c.startWorks;
        main().Txtlog.setText("");
        about::frmAbout2 b(app->link(), r);
        b.cmdSysInfo_Click();
        EXPECT_EQ(r.started, c.started);
        if (c.fullPath) {
            EXPECT_TRUE(r.tested.empty());
        }
        EXPECT_EQ(log(), c.logged ? unavailable() : "");
        EXPECT_TRUE(r.open.empty());
    }
}

TEST_F(AboutBoxTest, StartSysInfo_ThisPlatform_LogsUnavailable) {
    box().StartSysInfo();
    EXPECT_EQ(log(), unavailable());
}

}  // namespace
}  // namespace apptest
