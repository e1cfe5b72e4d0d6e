// The three windows as a user meets them: tab order, Enter and Ctrl+Enter,
// accelerators and hiding that keeps state. Their frames are
// WindowFrameTest's, on X11.

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

TEST_F(WindowsTest, MainWindowTabsPastTheLabelsAndEnterMovesOn) {
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
    f.Show();
    QApplication::setActiveWindow(&f.Window());
    f.TextBox1().setFocus();
    f.TextBox1().SetText("one");
    f.TextBox1().moveCursor(QTextCursor::End);
    QTest::keyClick(&f.TextBox1(), Qt::Key_Return, Qt::ControlModifier);
    QTest::keyClicks(&f.TextBox1(), "two");
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
    // A mnemonic animates the press before the click arrives.
    QTest::keyClick(&f.TextBox1(), Qt::Key_I, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests().size() == 10; }))
        << "Alt+I sings: the style and nine lines";
    QTest::keyClick(&f.TextBox1(), Qt::Key_S, Qt::AltModifier);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.Visible(); })) << "Alt+S presses Set";
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

} // namespace
} // namespace parlavox::testing
