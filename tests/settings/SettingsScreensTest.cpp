#include "fakes/FakeLog.h"
#include "fakes/MemoryFiles.h"
#include "history/HistoryPDFController.h"
#include "platform/Alerts.h"
#include "platform/virtual/VirtualRuntime.h"
#include "settings/ImageDecoder.h"
#include "settings/PositionButtonsView.h"
#include "settings/ProfileView.h"
#include "settings/SettingsController.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsSetupController.h"
#include "settings/SettingsStore.h"
#include "settings/SetupView.h"

#include <gtest/gtest.h>

#include <map>

namespace velorin {
namespace {

struct FakeAlerts : Alerts {
    void show(const AlertRequest& request, Answer) override { shown.push_back(request); }
    std::vector<AlertRequest> shown;
};

struct FakeImages : ImageDecoder {
    ImageHeader header(const std::string& path) override { return headers[path]; }
    bool toPng(const std::string& path, int, std::string& png, std::string&) override
    {
        ++decoded;
        png = "PNG of " + path;
        return true;
    }
    std::map<std::string, ImageHeader> headers;
    int decoded = 0;
};

struct FakePositions : PositionButtonsView {
    int positionCount() const override { return 3; }
    bool positionSelected(int i) const override { return selected[i]; }
    void setPositionSelected(int i, bool on) override { selected[i] = on; }
    void setPositionBorder(int, float, Rgba) override {}
    bool selected[3]{};
};

struct FakeProfile : ProfileView {
    std::string text(ProfileField f) const override { return texts.count(f) ? texts.at(f) : std::string(); }
    void setText(ProfileField f, const std::string& t) override { texts[f] = t; }
    int gender() const override { return segment; }
    void setGender(int s) override { segment = s; }
    void endEditing() override {}
    void dismiss() override { ++dismissed; }
    std::map<ProfileField, std::string> texts;
    int segment = 0;
    int dismissed = 0;
};

struct FakeSetup : SetupView {
    std::string lockPassword() const override { return passcode; }
    void setLockPassword(const std::string& t) override { passcode = t; }
    int pdfLength() const override { return segment; }
    void setPdfLength(int s) override { segment = s; }
    void showLogo(const std::string& path) override { logo = path; }
    void chooseImage() override {}
    void endEditing() override {}
    void dismiss() override { ++dismissed; }
    std::string passcode, logo;
    int segment = 0;
    int dismissed = 0;
};

class SettingsScreensTest : public ::testing::Test {
protected:
    MemoryFiles files;
    FakeLog log;
    SettingsStore settings{files, log, "/settings.json"};
    VirtualRuntime runtime;
    FakeAlerts alerts;
    FakeImages images;
    FakePositions positions;
    int locks = 0, monitorFronts = 0, logins = 0;

    SettingsContext context()
    {
        const SettingsNavigation actions{[this] { ++locks; }, [this] { ++monitorFronts; }, [this] { ++logins; }, {}};
        return {settings, log, runtime.mainQueue(), alerts, files, images, "/docs", actions};
    }
};

TEST_F(SettingsScreensTest, ProfileSavesAndReloadsLongUnicodeTextsAndSaysWhenTheDiskRefuses)
{
    const std::string name = std::string(9'990, 'a') + "Zo\u00eb \u674e\u96f7 \U0001FAC0";
    FakeProfile view;
    SettingsController profile(context(), view, positions);
    profile.viewDidLoad();
    view.texts = {{ProfileField::name, name}, {ProfileField::Weight, "72"}};
    view.segment = gender::female;
    profile.updateInformation();

    FakeProfile again;
    SettingsController(context(), again, positions).viewDidLoad();
    EXPECT_EQ(again.text(ProfileField::name), name);
    EXPECT_EQ(again.text(ProfileField::Weight), "72");
    EXPECT_EQ(again.segment, gender::female);
    EXPECT_TRUE(alerts.shown.empty());

    // A profile the disk refuses is said to be unsaved, not silently lost at the next start.
    files.failAll = true;
    view.texts[ProfileField::Weight] = "71";
    profile.updateInformation();
    EXPECT_EQ(alerts.shown.size(), 1u);
}

TEST_F(SettingsScreensTest, SetupLocksOnlyWithATypedPasscodeAndAnOddLengthReportsTheWholeFile)
{
    settings.set(keys::lockPass, std::string("1234"));
    FakeSetup view;
    SettingsSetupController setup(context(), view);
    setup.viewDidLoad();
    view.passcode.clear();
    setup.updateInformation();
    EXPECT_EQ(settings.text(keys::lockPass), "1234");
    EXPECT_EQ(locks, 0);
    view.passcode = "9";
    setup.updateInformation();
    EXPECT_EQ(settings.text(keys::lockPass), "9");
    EXPECT_EQ(locks, 1);

    // A hand-edited length outside the segments: the whole file, for a chunk and for an event.
    settings.set(keys::PdfLength, 7.0F);
    EXPECT_EQ(HistoryPDFController::reportSeconds(settings, "a.ecg"), 0);
    settings.set(keys::PdfLength, std::int64_t{0});
    EXPECT_EQ(HistoryPDFController::reportSeconds(settings, "a.ecg"), 10);
    EXPECT_EQ(HistoryPDFController::reportSeconds(settings, "2017-05-27_101500 Walking none .event"), 0);
}

TEST_F(SettingsScreensTest, LogoIsRefusedBeforeDecodingAndTheOldOneStays)
{
    const std::string logo = "/docs/latest_logo.png";
    files.files[logo] = "old logo";
    files.files["/empty.png"] = "";
    files.files["/huge.png"] = std::string(SettingsSetupController::maxLogoFileBytes + 1, 'x');
    files.files["/notes.txt"] = "hello";
    files.files["/wide.png"] = "header";
    files.others["/fifo.png"] = EntryKind::fifo;
    images.headers["/notes.txt"] = {false, 0, 0, "Unsupported image format"};
    images.headers["/wide.png"] = {true, 4097, 10, {}};
    FakeSetup view;
    SettingsSetupController setup(context(), view);
    for (const char* path : {"/empty.png", "/huge.png", "/notes.txt", "/wide.png", "/fifo.png", "/gone.png"})
        setup.imagePickerControllerDidFinishPickingMediaWithInfo(path);
    EXPECT_EQ(images.decoded, 0);
    EXPECT_EQ(files.files[logo], "old logo");
    EXPECT_EQ(alerts.shown.size(), 6u);

    files.files["/ok.jpg"] = "jpeg";
    images.headers["/ok.jpg"] = {true, 4096, 300, {}};
    files.failEndings.insert("latest_logo.png");
    setup.imagePickerControllerDidFinishPickingMediaWithInfo("/ok.jpg");
    EXPECT_EQ(files.files[logo], "old logo");

    files.failEndings.clear();
    setup.imagePickerControllerDidFinishPickingMediaWithInfo("/ok.jpg");
    EXPECT_EQ(files.files[logo], "PNG of /ok.jpg");
    EXPECT_EQ(view.logo, logo);
    EXPECT_EQ(alerts.shown.size(), 7u);
}

TEST_F(SettingsScreensTest, BackToLoginLaterKeepsTheLoginResults)
{
    settings.setBool(keys::loggedIn, true);
    settings.set(keys::token, std::string("t0k3n"));
    settings.set(keys::fileServers, std::vector<std::string>{"files.example:92"});
    settings.set(keys::PatientId, std::string("42"));
    FakeProfile profileView;
    SettingsController(context(), profileView, positions).backToLogin();
    EXPECT_EQ(logins, 0); // the screen that asked is gone by the time it happens
    runtime.runPending();
    EXPECT_EQ(logins, 1);
    EXPECT_FALSE(settings.boolean(keys::loggedIn));
    EXPECT_TRUE(settings.has(keys::loggedIn));
    EXPECT_EQ(settings.text(keys::token), "t0k3n");
    EXPECT_EQ(settings.textArray(keys::fileServers).size(), 1u);
    EXPECT_EQ(settings.text(keys::PatientId), "42");
}

} // namespace
} // namespace velorin
