// The dispatcher and its run-time error report, and the dialog's filter pairs.

#include "platform/toolkit/Runtime.h"
#include "platform/toolkit/CommonDialog.h"

#include <gtest/gtest.h>

#include <optional>

namespace parlavox::toolkit {
namespace {

TEST(DispatchTest, ErrorIsReportedNamingItAndEndsWithFailureAsEndEndsWithSuccess) {
    QStringList prompts;
    std::optional<int> status;
    ResetRuntime();
    hooks().msgBox = [&](const QString& p, int style) {
        prompts << QString::number(style) + ": " + p;
    };
    hooks().quit = [&](int s) { status = s; };
    int reached = 0;
    Dispatch([&] {
        ++reached;
        End();
        ++reached; // never runs
    });
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(status, 0);
    Dispatch([&] { ++reached; });
    EXPECT_EQ(reached, 1) << "nothing runs after the end";
    ResetRuntime();
    Dispatch([] { throw std::runtime_error("cannot read \"x.acs\": truncated at offset 12"); });
    EXPECT_EQ(prompts.size(), 1) << "End shows nothing";
    EXPECT_TRUE(prompts.value(0).startsWith("16: ") &&
                prompts.value(0).contains("cannot read \"x.acs\": truncated at offset 12"))
        << qPrintable(prompts.value(0));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(ExitStatus(), 1);
    ResetRuntime();
    Dispatch([] { throw 42; }); // not a standard exception
    EXPECT_EQ(prompts.size(), 2);
    hooks() = {};
    ResetRuntime();
}

// One pair is start-up's; several, and ';' between patterns, are Qt's spaces.
TEST(CommonDialogTest, FilterPairsBecomeWhatQtTakes) {
    CommonDialog dlg("Open", "", "");
    dlg.Filter = "Characters (*.acs)|*.acs|All files|*.*;*";
    dlg.FilterIndex = 2;
    const auto r = dlg.Request();
    EXPECT_EQ(r.nameFilters, (QStringList{"Characters (*.acs)", "All files (*.* *)"}));
    EXPECT_EQ(r.selectedFilter, 1);
}

} // namespace
} // namespace parlavox::toolkit
