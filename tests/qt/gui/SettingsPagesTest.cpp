#include "app/qt/MainWindow.h"
#include "fakes/FakeLog.h"
#include "fakes/TempDir.h"
#include "monitor/qt/MonitorWidget.h"
#include "platform/Alerts.h"
#include "platform/PosixFiles.h"
#include "platform/Queue.h"
#include "qt/QtTestSupport.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "settings/qt/ProfilePage.h"
#include "settings/qt/QtImageDecoder.h"
#include "settings/qt/SettingsMenuPage.h"
#include "settings/qt/SetupPage.h"

#include <QApplication>
#include <QBuffer>
#include <QtEndian>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <unistd.h>

namespace velorin {
namespace {

class EventLoopQueue : public Queue {
public:
    void async(Task task) override { QMetaObject::invokeMethod(qApp, std::move(task), Qt::QueuedConnection); }
};

struct NoAlerts : Alerts {
    void show(const AlertRequest& request, Answer) override { titles.push_back(request.title); }
    std::vector<std::string> titles;
};

template <typename Page> Page* shownPage(MainWindow& window)
{
    return qobject_cast<Page*>(static_cast<QStackedWidget*>(window.centralWidget())->currentWidget());
}

TEST(SettingsPagesTest, PagesOpenOverTheTabBarAndRefuseHostileLogos)
{
    TempDir temp("velorin-settings-pages");
    const std::string dir = temp.path();
    PosixFiles files;
    FakeLog log;
    SettingsStore settings(files, log, dir + "/settings.json");
    settings.setBool(keys::termsAccept, true);
    FixedClock clock;
    EventLoopQueue mainQueue;
    NoAlerts alerts;
    QtImageDecoder images;
    MainWindow window(TermsController(settings, clock), new MonitorWidget, nullptr, MainWindow::titleFor(true));
    int fronts = 0;
    const auto toMonitor = [&] {
        window.tabs()->setCurrentIndex(0);
        ++fronts;
    };
    const SettingsContext context{settings, log, mainQueue, alerts, files, images, dir, {{}, toMonitor, {}, {}}};
    window.setSettingsPage(new SettingsMenuPage(
        context, [&](QWidget* p) { window.pushPage(p); }, [&] { window.popPage(); }));
    window.resize(1024, 600);
    window.show();
    window.route();
    window.tabs()->setCurrentIndex(2);
    ASSERT_NE(qobject_cast<SettingsMenuPage*>(window.tabs()->currentWidget()), nullptr);
    screenshot(window, "settings-menu.png");

    window.tabs()->currentWidget()->findChild<QPushButton*>("profile")->click();
    auto* profile = shownPage<ProfilePage>(window);
    ASSERT_NE(profile, nullptr);
    profile->setText(ProfileField::name, "Ada");
    screenshot(window, "settings-profile.png");
    profile->findChild<QPushButton*>("save")->click();
    EXPECT_EQ(settings.text(keys::Name), "Ada");
    EXPECT_TRUE(window.showingTabs());
    EXPECT_EQ(window.tabs()->currentIndex(), 0);

    // A real picture becomes the logo as PNG, with a preview.
    window.tabs()->setCurrentIndex(2);
    window.tabs()->currentWidget()->findChild<QPushButton*>("setup")->click();
    auto* setup = shownPage<SetupPage>(window);
    ASSERT_NE(setup, nullptr);
    const std::string logo = dir + "/latest_logo.png";
    const QString logoPath = QString::fromStdString(logo);
    const auto pick = [&](const std::string& file) {
        setup->controller().imagePickerControllerDidFinishPickingMediaWithInfo(dir + "/" + file);
    };
    QImage picture(300, 120, QImage::Format_RGB32);
    picture.fill(QColor(30, 90, 160));
    ASSERT_TRUE(picture.save(QString::fromStdString(dir + "/picked.jpg"), "JPEG"));
    pick("picked.jpg");
    EXPECT_TRUE(alerts.titles.empty());
    EXPECT_EQ(QImage(logoPath, "PNG").size(), QSize(300, 120));
    EXPECT_FALSE(setup->findChild<QLabel*>("logo")->pixmap().isNull());
    // Refused by what its header declares, and the logo stays.
    ASSERT_TRUE(QImage(5000, 1, QImage::Format_Mono).save(QString::fromStdString(dir + "/wide.png")));
    pick("wide.png");
    EXPECT_EQ(alerts.titles, std::vector<std::string>{"Logo not changed"});
    EXPECT_EQ(QImage(logoPath).size(), QSize(300, 120));
    // So are files whose decoders fill in what a cut-off file lacks, and an icon, whose header
    // declares at most 256 pixels a side whatever the PNG inside holds.
    const auto encoded = [](const QImage& image, const char* format) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, format));
        return bytes;
    };
    const auto pickBytes = [&](const QByteArray& bytes) {
        ASSERT_TRUE(files.writeAtomically(dir + "/hostile", bytes.toStdString()).ok);
        pick("hostile");
    };
    for (const char* format : {"JPEG", "BMP"})
        pickBytes(encoded(picture, format).chopped(200));
    const QByteArray wide = encoded(QImage(5000, 1, QImage::Format_Mono), "PNG");
    QByteArray icon = QByteArray::fromHex("00000100010000000000010020000000000016000000");
    qToLittleEndian(quint32(wide.size()), icon.data() + 14);
    pickBytes(icon + wide);
    EXPECT_EQ(alerts.titles, std::vector<std::string>(4, "Logo not changed"));
    // A link at the logo's name is replaced, not written through to whatever it points to.
    ASSERT_TRUE(files.writeAtomically(dir + "/precious.txt", "keep me").ok && files.remove(logo).ok);
    ASSERT_EQ(::symlink((dir + "/precious.txt").c_str(), logo.c_str()), 0);
    pick("picked.jpg");
    std::string kept;
    EXPECT_TRUE(files.readAll(dir + "/precious.txt", kept, 100).ok && kept == "keep me");
    EXPECT_EQ(files.entryInfo(logo).kind, EntryKind::regular);
    EXPECT_EQ(alerts.titles.size(), 4u);
    screenshot(window, "settings-setup.png");
    setup->findChild<QPushButton*>("cancel")->click();
    EXPECT_TRUE(window.showingTabs());
    EXPECT_EQ(fronts, 2);
}

} // namespace
} // namespace velorin
