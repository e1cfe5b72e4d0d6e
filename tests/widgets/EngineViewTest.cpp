// The engine's windows: the character window's shape and picture, the pop-up
// menu, the word balloon, the options kept between runs, and the service
// loading a real file.

#include "EngineFixture.h"

#include "agent/format/Compositor.h"
#include "agent/format/Writer.h"
#include "agent/view/AgentService.h"
#include "agent/view/BalloonWindow.h"
#include "agent/view/CharacterTray.h"
#include "agent/view/CharacterWindow.h"
#include "agent/view/CommandMenu.h"
#include "agent/view/OptionsDialog.h"
#include "agent/view/Places.h"

#include <QApplication>
#include <QCheckBox>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace agent::engine::testing {
namespace {

class ViewTest : public EngineTest {};

TEST_F(ViewTest, WindowIsTheFramesShapeAndPicture) {
    // A frame whose image has a transparent hole.
    format::Bitmap ring{8, 8, std::vector<std::uint8_t>(8 * 8, 1)};
    ring.scanLine(3)[3] = 0;
    character->animations[0].frames[0].images[0].image = std::uint32_t(character->addImage(ring));
    makeAgent(character);
    view::CharacterWindow window(*agent, options);
    const format::Frame& rest = character->animations[0].frames[0];
    EXPECT_EQ(window.mask(), format::frameShape(*character, rest));
    EXPECT_FALSE(window.mask().contains(QPoint(3, 3)));
    EXPECT_EQ(window.picture(), format::composeFrame(*character, rest));
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::Tool)) << "no taskbar entry";
}

TEST_F(ViewTest, WindowShowsWithTheCharacterRaisesDoubleClickAndClosingHides) {
    view::CharacterWindow window(*agent, options);
    EXPECT_FALSE(window.isVisible());
    agent->show();
    EXPECT_TRUE(window.isVisible());
    QSignalSpy clicks(&window, &view::CharacterWindow::doubleClicked);
    QTest::mouseDClick(&window, Qt::LeftButton, Qt::ShiftModifier, QPoint(2, 3));
    ASSERT_EQ(clicks.count(), 1);
    EXPECT_EQ(clicks[0].mid(0, 2), (QVariantList{1, 1})) << "left button, shift";
    settle();
    played.clear();
    EXPECT_FALSE(window.close()) << "the window manager's close is refused";
    EXPECT_TRUE(window.isVisible()) << "until the Hiding animation has played";
    settle();
    EXPECT_EQ(played, QStringList{"Hide"});
    EXPECT_FALSE(agent->visible() || window.isVisible());
}

TEST_F(ViewTest, TrayOffersShowAndHide) {
    character->trayIcon.reset(); // no icon in the file: the application's
    view::CharacterTray tray(*agent, "Small");
    EXPECT_EQ(tray.icon().cacheKey(), QGuiApplication::windowIcon().cacheKey());
    EXPECT_TRUE(tray.showAction().isEnabled() && !tray.hideAction().isEnabled());
    tray.showAction().trigger();
    settle();
    EXPECT_FALSE(tray.showAction().isEnabled());
    tray.hideAction().trigger();
    settle();
    EXPECT_FALSE(agent->visible());
    EXPECT_EQ(played, (QStringList{"Show", "Hide"}));
}

TEST_F(ViewTest, MenuListsTheCommandsInOrderThenTheEnginesEntries) {
    agent->addCommand("ACO", "Advanced Character Options", "Advanced");
    agent->addCommand("SING", "&Sing", "Sing");
    agent->addCommand("HIDDEN", "Hidden", "Hidden");
    agent->addCommand("BYE", "Shut Up and Quit", "Shut Up! & Quit");
    auto menu = view::buildCommandMenu(*agent, false);
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << (a->isSeparator() ? QStringLiteral("--") : a->text());
    ASSERT_EQ(captions,
              (QStringList{"Advanced Character Options", "&Sing", "Hidden", "Shut Up and Quit",
                           "--", "Hide", "Advanced Character Options"}));
    EXPECT_EQ(view::choiceOf(menu->actions()[1]).commandName, "SING");
    EXPECT_EQ(view::choiceOf(menu->actions()[5]).kind, view::MenuChoice::Hide);
    EXPECT_EQ(view::choiceOf(menu->actions()[6]).kind, view::MenuChoice::Options);
}

TEST(BalloonWrapTest, WrapsAtSpacesAndCutsLongWords) {
    const auto wrap = &view::BalloonWindow::wrap;
    EXPECT_EQ(wrap("Hello there, how are you", 10),
              (QStringList{"Hello", "there, how", "are you"}));
    EXPECT_EQ(wrap("abcdefghijklmnop", 6), (QStringList{"abcdef", "ghijkl", "mnop"}));
    EXPECT_EQ(wrap("", 10), QStringList{});
    EXPECT_EQ(wrap("a\nb", 10), (QStringList{"a", "b"}));
}

TEST_F(ViewTest, BalloonShowsTheRevealedWordsAndHidesWithStyleZero) {
    view::CharacterWindow window(*agent, options);
    view::BalloonWindow balloon(*agent, window, options);
    agent->show();
    settle();
    agent->setBalloonStyle(BalloonOnBit | AutoPaceBit | (2 << 24) | (6 << 16));
    agent->speak("Hello there");
    clock.advanceBy(250);
    ASSERT_TRUE(balloon.isVisible());
    EXPECT_EQ(balloon.visibleLines(), QStringList{"Hello"});
    clock.advanceBy(300);
    EXPECT_EQ(balloon.visibleLines(), (QStringList{"Hello", "there"}));
    settle();
    agent->setBalloonStyle(0);
    EXPECT_FALSE(balloon.isVisible());
}

class ServiceTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QStandardPaths::setTestModeEnabled(true);
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("small.acs");
        format::writeCharacterFile(*makeCharacter(), path);
    }
    QTemporaryDir dir;
    QString path;
};

// The character reports menu choices, and comes back where the user left it.
TEST_F(ServiceTest, LoadsAFileReportsMenuChoicesAndKeepsItsPlace) {
    QSettings(QSettings::IniFormat, QSettings::UserScope, "parlavox", "character-engine")
        .remove("places");
    auto service = std::make_unique<view::AgentService>(std::make_unique<InstantSynthesizer>());
    service->load("Merlin", path);
    engine::CharacterAgent* agent = service->character("merlin");
    ASSERT_NE(agent, nullptr);
    EXPECT_EQ(agent->animationNames().size(), 13);
    agent->addCommand("SING", "Sing", "Sing");
    QSignalSpy commands(service.get(), &view::AgentService::command);
    // Choose the first entry as soon as the menu is up.
    QTimer::singleShot(50, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            QTest::keyClick(menu, Qt::Key_Down);
            QTest::keyClick(menu, Qt::Key_Return);
        }
    });
    emit service->window("Merlin")->menuRequested(QPoint(10, 10));
    ASSERT_EQ(commands.count(), 1);
    EXPECT_EQ(commands[0], (QVariantList{"Merlin", "SING"}));

    const QPoint first = service->window("Merlin")->pos();
    agent->show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return service->window("Merlin")->isVisible(); }));
    service->window("Merlin")->move(first - QPoint(100, 50));
    service = std::make_unique<view::AgentService>(std::make_unique<InstantSynthesizer>());
    service->load("Merlin", path);
    EXPECT_EQ(service->window("Merlin")->pos(), first - QPoint(100, 50));
    // Left on a screen that is gone: back on the one that is there.
    view::savePlace(makeCharacter()->guid.toString(), QPoint(-5000, 40));
    service = std::make_unique<view::AgentService>(std::make_unique<InstantSynthesizer>());
    service->load("Merlin", path);
    EXPECT_EQ(service->window("Merlin")->pos(), QPoint(0, 40));
}

TEST_F(ServiceTest, ALoadFailureNamesTheFileAndLoadsNothing) {
    view::AgentService service(std::make_unique<InstantSynthesizer>());
    const QString missing = dir.filePath("missing.acs");
    try {
        service.load("Merlin", missing);
        ADD_FAILURE() << "loaded a missing file";
    } catch (const std::runtime_error& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(missing)) << e.what();
    }
    EXPECT_EQ(service.character("Merlin"), nullptr);
}

TEST(PlacesTest, OnTheScreensWhereLeftElseTheLeastMoveOntoTheBestScreen) {
    const view::ScreenArea wide{{0, 0, 1920, 1080}, {0, 0, 1920, 1040}}; // a panel below
    const view::ScreenArea right{{1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}};
    struct Case {
        const char* what;
        QRect left;
        std::vector<view::ScreenArea> screens;
        QPoint place;
    } cases[] = {
        {"across two screens", {1900, 100, 128, 128}, {wide, right}, {1900, 100}},
        {"off the bottom, into the free area", {500, 1000, 128, 128}, {wide}, {500, 912}},
        {"onto the screen it overlaps most", {1880, 1000, 128, 128}, {wide, right}, {1792, 912}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(view::placeOnScreens(c.left, c.screens), c.place) << c.what;
}

TEST(OptionsTest, ChangesApplyAtOnceAndPersist) {
    QStandardPaths::setTestModeEnabled(true);
    engine::Options options;
    engine::saveOptions(options);
    view::OptionsDialog dialog(options);
    QSignalSpy changed(&dialog, &view::OptionsDialog::optionsChanged);
    auto* balloon = dialog.findChild<QCheckBox*>("showBalloon");
    ASSERT_NE(balloon, nullptr);
    balloon->setChecked(false);
    dialog.findChild<QSlider*>("speed")->setValue(150);
    EXPECT_EQ(changed.count(), 2);
    EXPECT_TRUE(!options.showBalloon && options.speechSpeedPercent == 150);
    EXPECT_EQ(engine::loadOptions(), options);
    engine::saveOptions(engine::Options{});
}

} // namespace
} // namespace agent::engine::testing
