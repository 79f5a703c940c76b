// The console's progress line and messages.

#include "cli/cli_console.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

TEST(CliConsole, CaptionsAreOneLineRewrittenInPlaceAndMessagesEndIt) {
    std::ostringstream err;
    Console console(err, true, false);
    console.label().setVisible(true);
    console.label().setCaption("Status : Programming .........");
    console.label().setCaption("Status : Programming ...");
    console.label().setCaption("Status : Programming ...");
    console.message("Done !!");
    // The caption that was showing is not drawn again after the message.
    console.label().setCaption("Status : Programming ...");
    console.label().setVisible(false);
    console.finish(Outcome::Done);
    EXPECT_EQ(err.str(), "\rStatus : Programming .........\rStatus : Programming ...      \n"
                         "Done !!\n");
}

TEST(CliConsole, ABarWithoutACaptionShowsItsPercentage) {
    std::ostringstream err;
    Console console(err, true, false);
    console.bar().setVisible(true);
    console.bar().setValue(7);
    console.bar().setValue(45);
    console.bar().setVisible(false);
    console.message("Transmit Done!!");
    EXPECT_EQ(err.str(), "\rStatus : Transfer Data   0%\rStatus : Transfer Data   7%"
                         "\rStatus : Transfer Data   45%\n"
                         "Transmit Done!!\n");
}

TEST(CliConsole, NoProgressWhereStandardErrorIsNoTerminal) {
    std::ostringstream err;
    Console console(err, false, false);
    console.label().setVisible(true);
    console.label().setCaption("Status : Transfer Data    5%");
    console.bar().setValue(5);
    console.message("Firmware Update Finish !!");
    console.finish(Outcome::Done);
    EXPECT_EQ(err.str(), "Firmware Update Finish !!\n");
}

TEST(CliConsole, QuietHoldsMessagesAndShowsThemOnlyWhenItDidNotSucceed) {
    std::ostringstream done;
    Console quietDone(done, true, true);
    quietDone.label().setVisible(true);
    quietDone.label().setCaption("Status : Transfer Data    5%");
    quietDone.message("Undata Finish !!!!");
    quietDone.finish(Outcome::Done);
    EXPECT_EQ(done.str(), "");

    std::ostringstream failed;
    Console quietFailed(failed, true, true);
    quietFailed.message("Connecting Error !!");
    EXPECT_EQ(failed.str(), "");
    quietFailed.finish(Outcome::Failed);
    EXPECT_EQ(failed.str(), "Connecting Error !!\n");
}

TEST(CliConsole, QuestionsAreAnsweredOkAndTheOfferedFileIsHandedOutOnce) {
    std::ostringstream err;
    Console console(err, false, false);
    EXPECT_TRUE(console.confirm("Are you sure to Load ?", "Load File"));
    EXPECT_FALSE(console.openFile({}).has_value());
    console.offerFile({"/tmp/a.bmp", "a.bmp"});
    const auto first = console.openFile({});
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->name, "a.bmp");
    EXPECT_FALSE(console.openFile({}).has_value());
    EXPECT_EQ(err.str(), "");
}

} // namespace
} // namespace ordalia::cli
