#include "fleet/fleet.h"
#include "fleet/fleet_report.h"
#include "fleet/profile.h"
#include "support/bmp_builder.h"
#include "support/harness.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ordalia {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using namespace ordalia::testing;

TEST(Profile, StepsAndProblemsByLine) {
    const struct Case {
        const char* text;
        std::vector<std::string> steps;
        std::vector<std::string> problems; // each a part of one, in order
    } kCases[] = {
        {"# shop\r\nSETTINGS\n\n  logos # the four\ncompound \"ex Korean.code\"\ntest-page rec1\n"
         "firmware\ninfo",
         {"settings", "logos", "compound \"ex Korean.code\"", "test-page rec1", "firmware", "info"},
         {}},
        {"settings now\ncompound\ntest-page \"Receipt 1\nwobble\nfirmware a.firm b.firm\nlogos",
         {"logos"},
         {"line 1: settings takes nothing", "line 2: compound takes one file",
          "line 3: a quote is not closed", "line 4: \"wobble\" is no step",
          "line 5: firmware takes at most one file"}},
        {"# nothing but comments\n", {}, {"it names no step"}},
    };
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.text);
        const ProfileRead read = parseProfileText(c.text, "shop");
        ASSERT_TRUE(read.profile);
        std::vector<std::string> steps;
        for (const ProfileStep& s : read.profile->steps)
            steps.push_back(s.text);
        EXPECT_EQ(steps, c.steps);
        ASSERT_EQ(read.problems.size(), c.problems.size());
        for (std::size_t i = 0; i < c.problems.size(); ++i)
            EXPECT_THAT(read.problems[i], HasSubstr(c.problems[i]));
    }
}

TEST(Fleet, PrinterListsNameEachLinkOnce) {
    TempFolder folder;
    folder.write("ports", std::string("COM 2=/dev/ttyS7\n"));
    FoundPort usb;
    usb.device = "/dev/ttyUSB0";
    const PrinterListRead read =
        parsePrinterList("COM 2 # the counter\n\n/dev/usb/lp0\ntcp://10.0.0.7:9101\nfound\n"
                         "tcp://10.0.0.7:99999\n/dev/usb/lp0\n",
                         folder.path(), {usb}, "9600,n,8,1");
    std::vector<std::string> ports;
    for (const FleetPrinter& p : read.printers) {
        ports.push_back(p.port);
        EXPECT_EQ(p.choice.settings, "9600,n,8,1");
    }
    EXPECT_THAT(ports, ElementsAre("COM 2 (/dev/ttyS7)", "/dev/usb/lp0", "tcp://10.0.0.7:9101",
                                   "/dev/ttyUSB0"));
    EXPECT_EQ(read.printers[2].choice.host, "10.0.0.7:9101");
    EXPECT_TRUE(read.printers[2].choice.networkSelected);
    ASSERT_EQ(read.problems.size(), 2u);
    EXPECT_THAT(read.problems[0], HasSubstr("line 6: "));
    EXPECT_THAT(read.problems[1], HasSubstr("line 7: /dev/usb/lp0 is named twice"));
}

// A report read back gives the printers that failed, each from its first
// step that did not end done, reached as before.
TEST(Fleet, ARetryTakesTheFailedPrintersFromTheirFailedStep) {
    FleetReport report;
    report.stepNames = {"settings", "logos", "test-page rec1"};
    const auto printer = [](const std::string& port, std::vector<std::string> outcomes,
                            std::size_t first = 0) {
        PrinterRecord r;
        r.port = port;
        r.firstStep = first;
        for (std::size_t i = 0; i < outcomes.size(); ++i)
            r.steps.push_back({i == 0 ? "identify" : "step", outcomes[i], "said", 10, 0.5, {}});
        return r;
    };
    report.printers = {printer("A", {"done", "done", "done", "done"}),
                       printer("B", {"done", "done", "failed", "not run"}),
                       printer("C", {"failed", "not run", "not run", "not run"}),
                       printer("D", {"done", "refused"}, 2)};
    for (const char* link : {"/dev/ttyUSB0", "tcp://10.0.0.7", "/dev/ttyUSB2", "/dev/ttyUSB3"}) {
        FleetPrinter p;
        p.choice.settings = "38400,n,8,1";
        if (std::string(link).starts_with("tcp://")) {
            p.choice.networkSelected = true;
            p.choice.host = std::string(link).substr(6);
        } else {
            p.choice.device = link;
        }
        report.links.push_back(p);
    }
    std::string error;
    const auto retry = printersToRetry(reportJson(report), 3, &error);
    ASSERT_TRUE(retry) << error;
    ASSERT_EQ(retry->size(), 3u);
    EXPECT_EQ((*retry)[0].port, "B");
    EXPECT_EQ((*retry)[0].firstStep, 1u);
    EXPECT_EQ((*retry)[0].choice.host, "10.0.0.7");
    EXPECT_EQ((*retry)[0].choice.settings, "38400,n,8,1");
    EXPECT_EQ((*retry)[1].firstStep, 0u);
    EXPECT_EQ((*retry)[1].choice.device, "/dev/ttyUSB2");
    EXPECT_EQ((*retry)[2].firstStep, 2u);
    EXPECT_FALSE(printersToRetry("{\"printers\": 3}", 3, &error));
    EXPECT_THAT(error, HasSubstr("not a fleet report"));

    const std::string html = reportHtml(report);
    EXPECT_THAT(html, HasSubstr("<b>1 of 4</b> printers got every step"));
    EXPECT_THAT(html, HasSubstr("<td class=\"notrun\">earlier run</td><td class=\"notrun\">earlier "
                                "run</td><td class=\"done\" title=\"said\">done"));
}

// profile save writes what the program folder holds as a profile that reads
// back and checks whole, its logos beside it.
TEST(Profile, SavedFromTheProgramFolderReadsBackAndChecks) {
    TempFolder program, profiles;
    program.write("user_setting",
                  std::vector<std::uint8_t>{0x00, 1, 3, 1, 1, 1, 0, 0, 4, 3, 1, 3, 0x66, 0xFF});
    program.write("flash3", std::vector<std::uint8_t>{0x12, 0x34});
    program.write("testpage/rec1.p", std::string("Receipt\n"));
    const auto logo = program.write("art/shop.bmp", monochromeBmp(filledPicture(16, 8, '#')));
    program.write("Logo_Path", "1,\"" + logo.string() + "\",\"shop.bmp\",78,16,8\r\n");
    const auto dir = profiles.path() / "shop";
    const ProfileSave save = saveProfile(program.path(), dir);
    ASSERT_EQ(save.outcome, Outcome::Done) << save.message;
    EXPECT_THAT(save.steps, ElementsAre("settings", "logos", "test-page \"Receipt 1\""));
    const ProfileRead read = readProfile(dir);
    ASSERT_TRUE(read.profile && read.problems.empty());
    EXPECT_EQ(read.profile->steps[2].file, "testpage/rec1.p");
    EXPECT_THAT(checkProfile(*read.profile), ElementsAreArray(std::vector<std::string>{}));
    const auto list = profiles.read("shop/Logo_Path");
    EXPECT_EQ(std::string(list.begin(), list.end()),
              "1,\"logos/shop.bmp\",\"shop.bmp\",78,16,8\r\n");
    EXPECT_EQ(profiles.read("shop/logos/shop.bmp"), program.read("art/shop.bmp"));
    EXPECT_EQ(saveProfile(program.path(), dir).outcome, Outcome::Refused); // not over a profile
}

} // namespace
} // namespace ordalia
