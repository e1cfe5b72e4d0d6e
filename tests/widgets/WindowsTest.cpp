// The three windows: geometry in pixels (15 twips each), captions, fonts, tab
// order, accelerators, window settings and hiding that keeps state.

#include "ProgramFixture.h"

#include <QApplication>

namespace parlavox::testing {
namespace {

class WindowsTest : public ProgramTest {
  protected:
    void SetUp() override {
        ProgramTest::SetUp();
        startUpQuietly();
    }
};

QRect px(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

TEST_F(WindowsTest, MainWindowGeometry) {
    FrmSpeak& f = frmSpeak();
    EXPECT_EQ(f.Window().size(), QSize(312, 197));
    EXPECT_EQ(f.TextBox1().geometry(), px(120, 120, 3255, 615));
    EXPECT_EQ(f.CommandButton2().geometry(), px(3480, 120, 1095, 615));
    EXPECT_EQ(f.sldSpeed().geometry(), px(120, 840, 4455, 375));
    EXPECT_EQ(f.Label2().geometry(), px(1800, 1320, 1095, 255));
    EXPECT_EQ(f.Slider1().geometry(), px(120, 1560, 4455, 375));
    EXPECT_EQ(f.Label3().geometry(), px(1800, 2040, 1095, 375));
    EXPECT_EQ(f.Label4().geometry(), px(120, 2520, 3495, 255));
    EXPECT_EQ(f.Command1().geometry(), px(3240, 2520, 1215, 375));
    EXPECT_EQ(f.Line1().From(), QPoint(16, 160));
    EXPECT_EQ(f.Line1().To(), QPoint(288, 160));
}

TEST_F(WindowsTest, MainWindowCaptionsAndSettings) {
    FrmSpeak& f = frmSpeak();
    EXPECT_EQ(f.Window().windowTitle(), "");
    EXPECT_FALSE(f.Window().windowFlags().testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(f.Window().windowFlags().testFlag(Qt::Tool)); // in the taskbar
    EXPECT_EQ(f.CommandButton2().text(), "&Set");
    EXPECT_EQ(f.Command1().text(), "S&ing");
    EXPECT_EQ(f.Label2().text(), "Speed");
    EXPECT_EQ(f.Label3().text(), "Pitch");
    EXPECT_FALSE(f.Label4().isEnabled());
    EXPECT_EQ(f.sldSpeed().maximum(), 500);
    EXPECT_EQ(f.Slider1().maximum(), 500);
    EXPECT_EQ(f.sldSpeed().orientation(), Qt::Horizontal);
    EXPECT_DOUBLE_EQ(f.TextBox1().font().pointSizeF(), 8.25);
    EXPECT_FALSE(f.Window().windowIcon().isNull());
}

TEST_F(WindowsTest, TabOrderSkipsTheLabels) {
    FrmSpeak& f = frmSpeak();
    QWidget* expected[] = {&f.TextBox1(), &f.CommandButton2(), &f.sldSpeed(), &f.Slider1(),
                           &f.Command1()};
    QWidget* w = &f.TextBox1();
    for (int i = 1; i < 5; ++i) {
        do
            w = w->nextInFocusChain();
        while (w->focusPolicy() == Qt::NoFocus || !w->isEnabled());
        EXPECT_EQ(w, expected[i]) << "stop " << i;
    }
}

TEST_F(WindowsTest, EnterMovesOnAndCtrlEnterStartsANewLine) {
    FrmSpeak& f = frmSpeak();
    f.Show();
    QApplication::setActiveWindow(&f.Window());
    f.TextBox1().setFocus();
    f.TextBox1().SetText("one");
    f.TextBox1().moveCursor(QTextCursor::End);
    QTest::keyClick(&f.TextBox1(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(&f.TextBox1(), "two");
    EXPECT_EQ(f.TextBox1().Text(), "one\ntwo");
    QTest::keyClick(&f.TextBox1(), Qt::Key_Return);
    EXPECT_EQ(f.TextBox1().Text(), "one\ntwo");
    EXPECT_EQ(QApplication::focusWidget(), &f.CommandButton2());
}

TEST_F(WindowsTest, AcceleratorsPressTheButtons) {
    FrmSpeak& f = frmSpeak();
    f.Show();
    QApplication::setActiveWindow(&f.Window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f.Window()));
    f.TextBox1().setFocus();
    QTest::keyClick(&f.TextBox1(), Qt::Key_I, Qt::AltModifier);
    // A mnemonic animates the press before the click arrives.
    QTest::qWait(300);
    EXPECT_EQ(requests().size(), 10) << "Alt+I sings: the style and nine lines";
    QTest::keyClick(&f.TextBox1(), Qt::Key_S, Qt::AltModifier);
    QTest::qWait(300);
    EXPECT_FALSE(f.Visible()) << "Alt+S presses Set";
}

TEST_F(WindowsTest, AnimationsWindowLayout) {
    FrmAnimation& f = frmAnimation();
    EXPECT_EQ(f.Window().size(), QSize(312, 146));
    EXPECT_EQ(f.Window().minimumSize(), f.Window().maximumSize()) << "fixed size";
    EXPECT_EQ(f.Window().windowTitle(), "Animations");
    EXPECT_TRUE(f.Window().windowFlags().testFlag(Qt::WindowTitleHint));
    EXPECT_FALSE(f.Window().windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_EQ(f.Label1().text(), "Here are the animations available for this character:");
    EXPECT_EQ(f.Label1().geometry(), px(120, 120, 4455, 255));
    EXPECT_EQ(f.AnimationListBox().geometry(), px(120, 360, 4455, 1035));
    EXPECT_EQ(f.Label2().geometry(), px(120, 1440, 3495, 375));
    EXPECT_EQ(f.Command1().geometry(), px(3120, 1560, 1455, 495));
    EXPECT_EQ(f.Command1().text(), "&Hide");
    EXPECT_FALSE(f.AnimationListBox().isSortingEnabled());
    EXPECT_EQ(f.Window().windowIcon().availableSizes().size(), 5);
}

TEST_F(WindowsTest, HideButtonKeepsTheListAndCount) {
    FrmAnimation& f = frmAnimation();
    f.Show();
    f.AnimationListBox().setCurrentRow(1); // selecting does nothing
    EXPECT_TRUE(requests().isEmpty());
    QTest::mouseClick(&f.Command1(), Qt::LeftButton);
    EXPECT_FALSE(f.Visible());
    f.Show();
    EXPECT_EQ(f.AnimationListBox().ListCount(), 3);
    EXPECT_EQ(f.Label2().text(), "3 animations");
}

TEST(SplashWindowTest, LayoutAndSettings) {
    ProgramTest::SetUpTestSuite();
    toolkit::ResetRuntime();
    FrmSplash& f = frmSplash();
    f.Show();
    EXPECT_EQ(f.Window().size(), QSize(424, 310));
    EXPECT_EQ(f.Window().windowTitle(), "");
    EXPECT_TRUE(f.Window().windowFlags().testFlag(Qt::SplashScreen)) << "no taskbar button";
    EXPECT_EQ(f.Label1().text(), "Parlavox");
    EXPECT_EQ(f.Label1().geometry(), px(840, 1320, 4815, 1215));
    EXPECT_EQ(f.Label1().font().pointSize(), 45);
    EXPECT_EQ(f.Label1().font().family(), "Trebuchet MS");
    EXPECT_EQ(f.Version().geometry(), px(120, 4320, 3015, 255));
    EXPECT_EQ(f.Version().text(), "Version 1.0");
    EXPECT_EQ(f.Dlg().DialogTitle, "Open Agent Character");
    // The picture: 425 x 310, one column wider than the window.
    const QImage splash(":/splash.png");
    EXPECT_EQ(splash.size(), QSize(425, 310));
    EXPECT_FALSE(splash.hasAlphaChannel());
    const QImage shot = f.Window().grab().toImage();
    EXPECT_EQ(shot.pixelColor(5, 300), splash.pixelColor(5, 300));
    UnloadAllForms();
}

} // namespace
} // namespace parlavox::testing
