// The dispatcher and its run-time error report, and the dialog's filter pairs.

#include "ProgramFixture.h"

namespace parlavox::testing {
namespace {

using DispatchTest = ProgramTest;

TEST_F(DispatchTest, ErrorIsReportedNamingItAndEndsWithFailureAsEndEndsWithSuccess) {
    int reached = 0;
    toolkit::Dispatch([&] {
        ++reached;
        toolkit::End();
        ++reached; // never runs
    });
    toolkit::Dispatch([&] { ++reached; }); // nor does anything after the end
    EXPECT_EQ(reached, 1);
    EXPECT_EQ(quitStatus, 0);
    toolkit::ResetRuntime();
    toolkit::Dispatch(
        [] { throw std::runtime_error("cannot read \"x.acs\": truncated at offset 12"); });
    EXPECT_EQ(messages,
              QStringList{"16: Run-time error:\n\ncannot read \"x.acs\": truncated at offset 12"})
        << "End shows nothing";
    EXPECT_EQ(quitStatus, 1);
    EXPECT_EQ(toolkit::ExitStatus(), 1);
    toolkit::ResetRuntime();
    toolkit::Dispatch([] { throw 42; }); // not a standard exception
    EXPECT_EQ(messages.size(), 2);
}

// One pair is start-up's; several, and ';' between patterns, are Qt's spaces.
TEST(CommonDialogTest, FilterPairsBecomeWhatQtTakes) {
    toolkit::CommonDialog dlg("Open", "", "");
    dlg.Filter = "Characters (*.acs)|*.acs|All files|*.*;*";
    dlg.FilterIndex = 2;
    const auto r = dlg.Request();
    EXPECT_EQ(r.nameFilters, (QStringList{"Characters (*.acs)", "All files (*.* *)"}));
    EXPECT_EQ(r.selectedFilter, 1);
}

} // namespace
} // namespace parlavox::testing
