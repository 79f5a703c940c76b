// The console's progress line and messages.

#include "cli/cli_console.h"

#include <gtest/gtest.h>
#include <sstream>

namespace ordalia::cli {
namespace {

TEST(CliConsole, WhatStandardErrorShows) {
    struct Case {
        const char* name;
        bool terminal, quiet;
        // What the operation does, "|" between steps: "caption TEXT" (the label
        // shown with TEXT), "bar N" (the bar shown at N), "hide" (the bar
        // hidden), "say TEXT" (a message).
        std::string steps;
        Outcome outcome;
        const char* shown;
    } const kCases[] = {
        {"a caption is drawn once, over a longer one, and not again after a message", true, false,
         "caption Status : Programming .........|caption Status : Programming ...|caption Status "
         ": Programming ...|say Done !!|caption Status : Programming ...",
         Outcome::Done,
         "\rStatus : Programming .........\rStatus : Programming ...      \nDone !!\n"},
        {"a bar without a caption shows its percentage", true, false,
         "bar 0|bar 7|bar 45|hide|say Transmit Done!!", Outcome::Done,
         "\rStatus : Transfer Data   0%\rStatus : Transfer Data   7%\rStatus : Transfer Data   45%"
         "\nTransmit Done!!\n"},
        {"no terminal: messages only", false, false,
         "caption Status : Transfer Data    5%|bar 5|say Firmware Update Finish !!", Outcome::Done,
         "Firmware Update Finish !!\n"},
        {"quiet and done: nothing", true, true, "caption Status : Updata|say Undata Finish !!!!",
         Outcome::Done, ""},
        {"quiet and failed: the messages at the end", true, true,
         "caption Status : Updata|say Connecting Error !!", Outcome::Failed,
         "Connecting Error !!\n"},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        std::ostringstream err;
        Console console(err, c.terminal, c.quiet);
        std::istringstream steps(c.steps);
        for (std::string step; std::getline(steps, step, '|');) {
            const std::string verb = step.substr(0, step.find(' '));
            const std::string text = step.substr(verb.size() + (verb.size() < step.size()));
            if (verb == "caption")
                console.label().setVisible(true), console.label().setCaption(text);
            else if (verb == "bar")
                console.bar().setVisible(true), console.bar().setValue(std::stoi(text));
            else if (verb == "hide")
                console.bar().setVisible(false);
            else
                console.message(text);
        }
        console.finish(c.outcome);
        EXPECT_EQ(err.str(), c.shown);
    }
}

} // namespace
} // namespace ordalia::cli
