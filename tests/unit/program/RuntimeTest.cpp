// The dispatcher and its run-time error report, and the dialog's folder texts.

#include "platform/toolkit/Runtime.h"
#include "platform/toolkit/CommonDialog.h"

#include <gtest/gtest.h>

#include <optional>

namespace parlavox::toolkit {
namespace {

class DispatchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetRuntime();
        hooks().msgBox = [this](const QString& p, int s) {
            prompt = p;
            style = s;
            ++boxes;
        };
        hooks().quit = [this](int s) { status = s; };
    }
    void TearDown() override {
        hooks() = {};
        ResetRuntime();
    }
    QString prompt;
    int style = -1;
    int boxes = 0;
    std::optional<int> status;
};

TEST_F(DispatchTest, ErrorIsReportedNamingItAndEndsWithFailure) {
    bool ran = false;
    Dispatch([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(Ending()) << "a handler that succeeds leaves the program running";
    Dispatch([] { throw std::runtime_error("cannot read \"x.acs\": truncated at offset 12"); });
    EXPECT_EQ(boxes, 1);
    EXPECT_EQ(style, 16);
    EXPECT_TRUE(prompt.contains("cannot read \"x.acs\": truncated at offset 12"));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Ending());
    EXPECT_EQ(ExitStatus(), 1);
    ResetRuntime();
    Dispatch([] { throw 42; }); // not a standard exception
    EXPECT_EQ(boxes, 2);
}

TEST_F(DispatchTest, EndStopsTheHandlerAndEveryLaterOne) {
    int reached = 0;
    Dispatch([&] {
        ++reached;
        End();
        ++reached; // never runs
    });
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(boxes, 0);
    Dispatch([&] { ++reached; });
    EXPECT_EQ(reached, 1);
}

TEST(CommonDialogTest, FolderTextsAndFilterPairsBecomeWhatQtTakes) {
    EXPECT_EQ(NativeFolder("/opt/parlavox\\agent\\chars"), "/opt/parlavox/agent/chars");
    EXPECT_EQ(NativeFolder(QString("abc") + QChar(0) + "\\def"), "abc");
    CommonDialog dlg("Open", "", "");
    dlg.Filter = "Characters (*.acs)|*.acs|All files|*.*;*";
    dlg.FilterIndex = 2;
    const auto r = dlg.Request();
    EXPECT_EQ(r.nameFilters, (QStringList{"Characters (*.acs)", "All files (*.* *)"}));
    EXPECT_EQ(r.selectedFilter, 1);
}

TEST(CommonDialogTest, CancelGivesEmptyNameAndTitle) {
    CommonDialog::SetPresenter(
        [](const CommonDialog::OpenRequest&, QWidget*) { return QString(); });
    CommonDialog dlg("Open", "", "*.acs|*.acs");
    dlg.ShowOpen();
    EXPECT_EQ(dlg.FileName(), "");
    EXPECT_EQ(dlg.FileTitle(), "");
    CommonDialog::SetPresenter(
        [](const CommonDialog::OpenRequest&, QWidget*) { return QString("/a/b/orin.acs"); });
    dlg.ShowOpen();
    EXPECT_EQ(dlg.FileName(), "/a/b/orin.acs");
    EXPECT_EQ(dlg.FileTitle(), "orin.acs");
    CommonDialog::SetPresenter(nullptr);
}

} // namespace
} // namespace parlavox::toolkit
