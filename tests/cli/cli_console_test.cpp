// The console's progress line on a terminal. (Without a terminal, and with
// --quiet, the commands' own tests show what is written.)

#include "cli/cli_console.h"

#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

TEST(CliConsole, CaptionsAreOneLineRewrittenInPlaceAndAMessageEndsIt) {
    std::ostringstream err;
    Console console(err, true, false);
    console.label().setVisible(true);
    for (const char* caption :
         {"Status : Programming .........", "Status : Programming ...", "Status : Programming ..."})
        console.label().setCaption(caption);
    console.message("Done !!");
    // The caption that was showing is not drawn again after the message.
    console.label().setCaption("Status : Programming ...");
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
                         "\rStatus : Transfer Data   45%\nTransmit Done!!\n");
}

} // namespace
} // namespace ordalia::cli
