#include <QDir>
#include <QStringList>
#include <QTimer>

#include "kavrel/os/ini.h"
#include "kavrel/profiles/factory.h"
#include "kavrel/profiles/profile_file.h"
#include "kavrel/profiles/profile_list.h"
#include "kavrel/profiles/profile_store.h"
#include "kavrel/skin/lists.h"
#include "kavrel/skin/resources.h"
#include "kavrel/skin/testing.h"
#include "kavrel/skin/window.h"
#include "kavrel/ui/msg_wnd.h"
#include "temp_home.h"

namespace kavrel::profiles {
namespace {

using test::TempHome;
namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

class ListWindow : public skin::Window {
public:
    void notify(const skin::Notification& n) override { recorder.record(n); }
    skin::testing::Recorder recorder;
};

class ProfileListTest : public TempHome {
protected:
    static void SetUpTestSuite() { skin::testing::ensureApp(); }

    void SetUp() override {
        TempHome::SetUp();
        // A window holding the seven profile combos, as the main window's pages do.
        std::string layout = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Window size=\"400,400\">\n"
                             "<VerticalLayout name=\"root\">\n";
        for (const auto& l : profileListOrder())
            layout += "<Combo name=\"" + profileComboName(l.device, l.kind) + "\" height=\"28\"/>\n";
        layout += "</VerticalLayout>\n</Window>\n";
        writeText(root_ / "lists.xml", layout);
        ASSERT_TRUE(window_.create(QString::fromStdString((root_ / "lists.xml").string())));
    }

    static void writeText(const fs::path& p, const std::string& text) {
        writeAll(p, Bytes(text.begin(), text.end()));
    }
    static std::string readText(const fs::path& p) {
        const Bytes b = readAll(p);
        return std::string(b.begin(), b.end());
    }

    skin::Combo& combo(DeviceKind d, ProfileKind k) {
        auto* c = window_.find<skin::Combo>(QString::fromStdString(profileComboName(d, k)));
        EXPECT_NE(c, nullptr);
        return *c;
    }
    QStringList texts(DeviceKind d, ProfileKind k) {
        QStringList out;
        auto& c = combo(d, k);
        for (int i = 0; i < c.count(); ++i) {
            EXPECT_EQ(c.itemAt(i)->text(), c.itemAt(i)->userData());
            EXPECT_EQ(c.itemAt(i)->fixedHeight(), kProfileItemHeight);
            out << c.itemAt(i)->text();
        }
        return out;
    }
    // The start-up sequence: each device's lists in order, a failure skipping only that device.
    void fillAll() {
        for (DeviceKind d : kAllDevices) FillDeviceProfileLists(window_, d, [this](const QString& key) {
            messages_ << key;
        });
    }
    fs::path deviceDir(DeviceKind d) const { return dataFolder() / std::string(devicePrefix(d)); }
    std::string catalogue(DeviceKind d) const { return readText(deviceDir(d) / std::string(catalogueFileName(d))); }

    static std::string firstRunSections(ProfileKind k) {
        const auto s = catalogueSections(k);
        return "[" + std::string(s.count) + "]\r\ncount=1\r\n[" + std::string(s.link) + "]\r\n0=0\r\n[" +
               std::string(s.name) + "]\r\n0=profile1\r\n[" + std::string(s.select) + "]\r\nselect=0\r\n";
    }

    ListWindow window_;
    QStringList messages_;
};

TEST_F(ProfileListTest, FirstStartCreatesOneProfileOfEveryKind) {
    fillAll();
    EXPECT_TRUE(messages_.isEmpty());
    for (const auto& l : profileListOrder()) {
        SCOPED_TRACE(profileComboName(l.device, l.kind));
        EXPECT_EQ(texts(l.device, l.kind), QStringList{"profile1"});
        EXPECT_EQ(combo(l.device, l.kind).currentSel(), -1);
        // The file is the factory body behind a fresh header.
        const Bytes file = readAll(deviceDir(l.device) / ("profile1" + std::string(kindExtension(l.kind))));
        Bytes expected = {0xAA, 0x55, 0, 0, static_cast<std::uint8_t>(deviceCode(l.device)), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        const Bytes body = factoryProfileBody(l.device, l.kind, lighting::KeyboardVariant::Rgb);
        expected.insert(expected.end(), body.begin(), body.end());
        EXPECT_EQ(file, expected);
    }
    const std::string twoDeviceCatalogue = firstRunSections(ProfileKind::Device) +
                                           firstRunSections(ProfileKind::Lighting) + firstRunSections(ProfileKind::Key);
    EXPECT_EQ(catalogue(DeviceKind::Keyboard), twoDeviceCatalogue);
    EXPECT_EQ(catalogue(DeviceKind::Mouse), twoDeviceCatalogue);
    EXPECT_EQ(catalogue(DeviceKind::Pad), firstRunSections(ProfileKind::Lighting));
    // Nothing else was written into the data folder.
    std::vector<std::string> expectedFiles;
    for (const auto& [d, names] :
         {std::pair{DeviceKind::Keyboard, std::vector<std::string>{"kbProfile.ini", "profile1.config", "profile1.led",
                                                                    "profile1.pro"}},
          std::pair{DeviceKind::Mouse, std::vector<std::string>{"msProfile.ini", "profile1.config", "profile1.led",
                                                                 "profile1.pro"}},
          std::pair{DeviceKind::Pad, std::vector<std::string>{"mpProfile.ini", "profile1.led"}}})
        for (const auto& n : names) expectedFiles.push_back(fs::relative(deviceDir(d) / n, root_).string());
    expectedFiles.push_back("lists.xml"); // the test's own layout
    std::sort(expectedFiles.begin(), expectedFiles.end());
    EXPECT_EQ(allFiles(), expectedFiles);
    // No list raised a selection.
    EXPECT_TRUE(window_.recorder.events({"itemselect"}).empty());
}

TEST_F(ProfileListTest, ExistingCatalogueIsListedAsItStands) {
    const fs::path kb = cataloguePath(DeviceKind::Keyboard);
    const struct {
        ProfileKind kind;
        const char* count;
        QStringList expected;
    } cases[] = {
        {ProfileKind::Device, "3", {"a", "b", "0"}}, // no name "2": it reads as "0"
        {ProfileKind::Lighting, "-2", {}},           // negative: nothing listed, nothing created
        {ProfileKind::Key, "2xyz", {"a", "b"}},
    };
    for (const auto& c : cases) {
        const auto s = catalogueSections(c.kind);
        os::writeProfileString(kb, s.count, "count", c.count);
        os::writeProfileString(kb, s.name, "0", "a");
        os::writeProfileString(kb, s.name, "1", "b");
    }
    const std::string before = catalogue(DeviceKind::Keyboard);
    fillAll();
    for (const auto& c : cases) EXPECT_EQ(texts(DeviceKind::Keyboard, c.kind), c.expected) << c.count;
    EXPECT_EQ(catalogue(DeviceKind::Keyboard), before);
    EXPECT_FALSE(fs::exists(deviceDir(DeviceKind::Keyboard) / "profile1.led"));
    EXPECT_TRUE(messages_.isEmpty());
}

TEST_F(ProfileListTest, UnreadableCountCreatesTheFirstProfileOverTheOldKeys) {
    const fs::path ms = cataloguePath(DeviceKind::Mouse);
    os::writeProfileString(ms, "PROFILEDENGCOUNT", "count", "abc");
    os::writeProfileString(ms, "PROFILEDENGNAME", "0", "old");
    os::writeProfileString(ms, "PROFILEDENGNAME", "1", "kept");
    os::writeProfileString(ms, "PROFILEDENGSELECT", "select", "1");
    os::writeProfileString(ms, "PROFILELIKEDENGEXE", "0", "1");
    os::writeProfileString(ms, "DENGPROCESS", "0", "/usr/bin/game");
    fillAll();
    EXPECT_EQ(texts(DeviceKind::Mouse, ProfileKind::Lighting), QStringList{"profile1"});
    EXPECT_EQ(os::readProfileString(ms, "PROFILEDENGCOUNT", "count"), "1");
    EXPECT_EQ(os::readProfileString(ms, "PROFILEDENGNAME", "0"), "profile1");
    EXPECT_EQ(os::readProfileString(ms, "PROFILEDENGNAME", "1"), "kept");
    EXPECT_EQ(os::readProfileString(ms, "PROFILEDENGSELECT", "select"), "0");
    EXPECT_EQ(os::readProfileString(ms, "PROFILELIKEDENGEXE", "0"), "0");
    EXPECT_EQ(os::readProfileString(ms, "DENGPROCESS", "0"), "/usr/bin/game");
}

// A broken factory file stops that device's start-up lists only.
TEST_F(ProfileListTest, BadDefaultFileSkipsTheRestOfThatDevice) {
    const struct {
        const char* what;
        std::optional<Bytes> defaultFile; // nullopt: missing
        const char* message;
    } cases[] = {
        {"missing", std::nullopt, "message_text_8"},
        {"malformed", Bytes{0x55, 0xAA, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, "message_text_9"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        // A program folder holding the factory files, the keyboard's device default replaced.
        const fs::path program = root_ / "program";
        fs::create_directories(program);
        for (const auto& f : defaultProfileFiles())
            fs::copy_file(fs::path(KAVREL_BINARY_DIR) / "bin" / std::string(f.name), program / std::string(f.name));
        fs::remove(program / "kbdevicedefault.config");
        if (c.defaultFile) writeAll(program / "kbdevicedefault.config", *c.defaultFile);
        os::setProgramFolder(program);

        fillAll();
        EXPECT_EQ(messages_, QStringList{c.message});
        for (ProfileKind k : kAllKinds) EXPECT_EQ(combo(DeviceKind::Keyboard, k).count(), 0);
        EXPECT_FALSE(fs::exists(cataloguePath(DeviceKind::Keyboard)));
        for (const auto& l : profileListOrder())
            if (l.device != DeviceKind::Keyboard) {
                EXPECT_EQ(texts(l.device, l.kind), QStringList{"profile1"});
            }
        messages_.clear();
    }
}

TEST_F(ProfileListTest, FailedFirstRunShowsTheProgramMessageBox) {
    ASSERT_TRUE(skin::testing::ensureSkin(KAVREL_SOURCE_DIR "/skin"));
    ASSERT_TRUE(skin::switchLanguage("en", "lan_en.xml"));
    fs::create_directories(root_ / "empty");
    os::setProgramFolder(root_ / "empty");
    QStringList shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (ui::CMsgWnd* box = ui::CMsgWnd::activeWindow()) {
            shown << box->find("MessageText")->displayText();
            skin::testing::click(*box, "confirm_btn");
        }
    });
    answer.start(20);
    EXPECT_FALSE(FillDeviceProfileLists(window_, DeviceKind::Mouse));
    answer.stop();
    EXPECT_EQ(shown, QStringList{"The profile file could not be found."});
    EXPECT_EQ(combo(DeviceKind::Mouse, ProfileKind::Device).count(), 0);
    EXPECT_FALSE(fs::exists(cataloguePath(DeviceKind::Mouse)));
}

TEST_F(ProfileListTest, DefaultFilesAreFoundWhateverTheirCaseAndVariant) {
    const fs::path program = root_ / "program";
    fs::create_directories(program);
    for (const auto& f : defaultProfileFiles()) {
        QString upper = QString::fromLatin1(f.name.data(), static_cast<int>(f.name.size())).toUpper();
        fs::copy_file(fs::path(KAVREL_BINARY_DIR) / "bin" / std::string(f.name), program / upper.toStdString());
    }
    os::setProgramFolder(program);
    lighting::setKeyboardVariant(lighting::KeyboardVariant::SingleColour);
    fillAll();
    EXPECT_TRUE(messages_.isEmpty());
    Bytes body(bodySize(DeviceKind::Keyboard, ProfileKind::Lighting), 0);
    ASSERT_EQ(ReadProfileFile(deviceDir(DeviceKind::Keyboard) / "profile1.led", body), kProfileRead);
    EXPECT_EQ(body, factoryProfileBody(DeviceKind::Keyboard, ProfileKind::Lighting,
                                       lighting::KeyboardVariant::SingleColour));
    EXPECT_NE(body, factoryProfileBody(DeviceKind::Keyboard, ProfileKind::Lighting, lighting::KeyboardVariant::Rgb));
}

TEST_F(ProfileListTest, HostileCataloguesStayInsideTheDeviceFolder) {
    const fs::path ms = cataloguePath(DeviceKind::Mouse);
    std::string hostile = "[PROFILEDEVICECOUNT]\r\ncount=10000\r\n[PROFILEDEVICENAME]\r\n";
    for (int i = 0; i < 10000; ++i) {
        const char* names[] = {"../../x", "/etc/passwd", "..", "a/b", "sub\\dir", "ok"};
        hostile += std::to_string(i) + "=" + names[i % 6] + "\r\n";
    }
    hostile += "[PROFILEDEVICESELECT]\r\nselect=0\r\n";
    hostile += "[PROFILEDENGCOUNT]\r\ncount=2\r\n[PROFILEDENGNAME]\r\n0=\x01\x02\xff\xfe\r\n1=";
    hostile += std::string("\x00\x80\xc3\x28garbage\x1b[31m", 17) + "\r\n";
    hostile += "[PROFILECOUNT]\r\ncount=99999999999\r\n";
    writeText(ms, hostile);
    // A garbage pad catalogue: no sections at all.
    Bytes garbage(4096);
    for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<std::uint8_t>(i * 131 + 7);
    writeAll(cataloguePath(DeviceKind::Pad), garbage);
    const auto before = allFiles();

    fillAll();
    EXPECT_EQ(combo(DeviceKind::Mouse, ProfileKind::Device).count(), kMaxListedProfiles);
    EXPECT_EQ(combo(DeviceKind::Mouse, ProfileKind::Device).itemAt(0)->text(), "../../x");
    EXPECT_EQ(combo(DeviceKind::Mouse, ProfileKind::Lighting).count(), 2);
    EXPECT_EQ(combo(DeviceKind::Mouse, ProfileKind::Key).count(), kMaxListedProfiles);
    EXPECT_EQ(texts(DeviceKind::Pad, ProfileKind::Lighting), QStringList{"profile1"});

    // Selecting, loading and saving through those names touches nothing outside the folder.
    for (int position : {0, 1, 2, 3, 4}) {
        os::writeProfileString(ms, "PROFILEDEVICESELECT", "select", std::to_string(position));
        EXPECT_EQ(LoadProfile(DeviceKind::Mouse, ProfileKind::Device, position), kProfileMissing);
        EXPECT_FALSE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Device));
    }
    for (int position : {0, 1}) {
        os::writeProfileString(ms, "PROFILEDENGSELECT", "select", std::to_string(position));
        EXPECT_FALSE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Lighting));
    }
    auto after = allFiles();
    std::vector<std::string> added;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::back_inserter(added));
    for (const auto& f : added) {
        bool inDeviceFolder = false;
        for (DeviceKind d : kAllDevices)
            inDeviceFolder = inDeviceFolder || f.rfind(fs::relative(deviceDir(d), root_).string() + "/", 0) == 0;
        EXPECT_TRUE(inDeviceFolder) << f;
    }
    // The one safe name, "ok" at position 5, is saved beside the catalogue.
    os::writeProfileString(ms, "PROFILEDEVICESELECT", "select", "5");
    EXPECT_TRUE(SaveSelectedProfile(DeviceKind::Mouse, ProfileKind::Device));
    EXPECT_TRUE(fs::exists(deviceDir(DeviceKind::Mouse) / "ok.config"));
}

TEST_F(ProfileListTest, MouseDetectionSelectsTheStoredDeviceProfileOnce) {
    fillAll();
    const fs::path ms = cataloguePath(DeviceKind::Mouse);
    os::writeProfileString(ms, "PROFILEDEVICECOUNT", "count", "2");
    os::writeProfileString(ms, "PROFILEDEVICENAME", "1", "second");
    auto& c = combo(DeviceKind::Mouse, ProfileKind::Device);
    c.removeAll();
    ASSERT_TRUE(FillProfileList(DeviceKind::Mouse, ProfileKind::Device, c, {}));
    os::writeProfileString(ms, "PROFILEDEVICESELECT", "select", "1");
    window_.recorder.clear();

    EXPECT_TRUE(selectStoredMouseDeviceProfile(window_));
    EXPECT_EQ(c.currentSel(), 1);
    EXPECT_TRUE(selectStoredMouseDeviceProfile(window_)); // already selected: nothing raised
    const auto events = window_.recorder.events({"itemselect"});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].sender, "ms_device_profile_combo");
    EXPECT_EQ(events[0].wParam, 1);

    os::writeProfileString(ms, "PROFILEDEVICESELECT", "select", "7");
    EXPECT_FALSE(selectStoredMouseDeviceProfile(window_));
    EXPECT_EQ(c.currentSel(), 1);
}

} // namespace
} // namespace kavrel::profiles
