// ordalia-cli fleet against eight virtual printers at once: four on
// pseudo-terminals and two over TCP get exactly what the single-printer
// commands send, after the three identification queries; a silent one and one
// that hangs up mid-logo fail in the report while the others go on.

#include "cli/cli_run.h"
#include "common/clock.h"
#include "fleet/fleet.h"
#include "ports/system_ports.h"
#include "support/bmp_builder.h"
#include "support/fake_ui.h"
#include "support/harness.h"
#include "virtual_printer.h"

#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sstream>

namespace ordalia {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

const Bytes kIdentify = {0x10, 0x04, 0x01, 0x1D, 0x49, 0x43, 0x1D, 0x49, 0x44};

struct Printer {
    explicit Printer(const std::string& serial, bool tcp = false) {
        vprinter::VirtualPrinterOptions o;
        o.printer.identity.serialNumber = serial;
        if (tcp)
            o.tcpPort = 0;
        line = std::make_unique<vprinter::VirtualPrinter>(o);
        line->start();
    }
    std::unique_ptr<vprinter::VirtualPrinter> line;
};

struct FleetE2E : ::testing::Test {
    FleetE2E() {
        const std::filesystem::path shipped = ORDALIA_PROGRAM_FOLDER;
        for (const char* file : {"user_setting", "flash3", "testpage/rec1.p"}) {
            std::ifstream in(shipped / file, std::ios::binary);
            profile.write(file, Bytes(std::istreambuf_iterator<char>(in), {}));
        }
        // Large enough that a printer gone mid-logo is seen while it is sent.
        const Bytes logo = testing::monochromeBmp(testing::filledPicture(512, 256, '#'));
        profile.write("logos/shop.bmp", logo);
        logoRecord = "\"shop.bmp\"," + std::to_string(logo.size()) + ",512,256\r\n";
        profile.write("Logo_Path", "1,\"logos/shop.bmp\"," + logoRecord);
        profile.write("profile", std::string("# the shop\nsettings\nlogos\n"
                                             "test-page \"Receipt 1\"\n"));
    }

    int run(std::vector<std::string> words) {
        out.str({});
        err.str({});
        words.insert(words.begin(), {"--folder", profile.path().string()});
        auto serial = createSystemSerialPort();
        testing::FakeParallelPort parallel;
        return cli::runCli(words, {*serial, parallel, systemClock(), out, err, false, {}, {}, [] {
                                       return createSystemSerialPort();
                                   }});
    }

    testing::TempFolder profile;
    std::string logoRecord; // after the path
    std::ostringstream out, err;
};

TEST_F(FleetE2E, EveryPrinterGetsTheSingleCommandsBytesAndTheReportSaysWhoFailed) {
    // What the commands send one printer, one after another. A logo list
    // beside the program names its bitmaps whole.
    Printer reference("REF");
    const Bytes profileList = profile.read("Logo_Path");
    profile.write("Logo_Path",
                  "1,\"" + (profile.path() / "logos" / "shop.bmp").string() + "\"," + logoRecord);
    std::vector<std::size_t> ends; // of each command's bytes
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"settings", "download"},
          {"logo", "download"},
          {"test-page", "Receipt 1"}}) {
        auto words = command;
        words.insert(words.begin(), {"--port", reference.line->slavePath()});
        const std::size_t before = reference.line->receivedCount();
        ASSERT_EQ(run(words), 0) << err.str();
        // A command ends when its bytes are on the line, before the printer read them.
        reference.line->waitUntil([&] { return reference.line->receivedCount() > before; }, 1s);
        ASSERT_TRUE(reference.line->waitForQuiet(100ms, 5s));
        ends.push_back(reference.line->received().size());
    }
    const Bytes sent = reference.line->received();
    profile.write("Logo_Path", profileList);

    std::vector<std::unique_ptr<Printer>> printers;
    for (int i = 1; i <= 6; ++i)
        printers.push_back(std::make_unique<Printer>("SN-000" + std::to_string(i), i > 4));
    Printer silent("SN-SILENT"), hangsUp("SN-HANGS");
    silent.line->setSilent(true);
    hangsUp.line->setDisconnectAfterBytes(kIdentify.size() + ends[0] + 50); // mid-logo
    std::string list = "# the bench\n";
    for (const auto& p : printers)
        list += p->line->slavePath() + "\n";
    list += silent.line->slavePath() + "  # switched off\n" + hangsUp.line->slavePath() + "\n";
    profile.write("printers.txt", list);
    const auto report = profile.path() / "report";

    EXPECT_EQ(run({"fleet", profile.path().string(), "--printers",
                   (profile.path() / "printers.txt").string(), "--report", report.string()}),
              2)
        << err.str();
    Bytes expected = kIdentify;
    expected.insert(expected.end(), sent.begin(), sent.end());
    for (const auto& p : printers) {
        ASSERT_TRUE(p->line->waitForQuiet(100ms, 5s));
        EXPECT_EQ(p->line->received(), expected) << p->line->slavePath();
    }
    EXPECT_EQ(silent.line->received(), Bytes(kIdentify.begin(), kIdentify.begin() + 3));

    std::ifstream in(report.string() + ".json");
    const auto json = nlohmann::json::parse(in);
    EXPECT_EQ(json["printers_total"], 8);
    EXPECT_EQ(json["printers_succeeded"], 6);
    EXPECT_EQ(json["succeeded"], false);
    EXPECT_EQ(json["steps"], nlohmann::json({"settings", "logos", "test-page \"Receipt 1\""}));
    const auto& rows = json["printers"];
    ASSERT_EQ(rows.size(), 8u);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(rows[i]["serial_number"], "SN-000" + std::to_string(i + 1));
        EXPECT_EQ(rows[i]["model"], "VIRTUAL-80");
        EXPECT_EQ(rows[i]["succeeded"], true);
        EXPECT_EQ(rows[i]["steps"][2]["bytes"], ends[1] - ends[0]);
        EXPECT_EQ(rows[i]["steps"][3]["bytes"], ends[2] - ends[1]);
    }
    const auto outcomes = [&](int row) {
        std::vector<std::string> o;
        for (const auto& s : rows[row]["steps"])
            o.push_back(s["outcome"]);
        return o;
    };
    EXPECT_EQ(outcomes(6), (std::vector<std::string>{"failed", "not run", "not run", "not run"}));
    EXPECT_EQ(rows[6]["status"], "no answer");
    EXPECT_EQ(outcomes(7), (std::vector<std::string>{"done", "done", "failed", "not run"}));
    EXPECT_EQ(rows[7]["serial_number"], "SN-HANGS");
    EXPECT_THAT(rows[7]["steps"][2]["message"].get<std::string>(),
                HasSubstr(hangsUp.line->slavePath()));
    std::ifstream html(report.string() + ".html");
    const std::string page(std::istreambuf_iterator<char>(html), {});
    EXPECT_THAT(page, HasSubstr("<b>6 of 8</b> printers got every step"));
    EXPECT_THAT(out.str(),
                HasSubstr(hangsUp.line->slavePath() + "  VIRTUAL-80  SN-HANGS  logos failed"));

    // The retry runs the two that failed, each from the step it failed at:
    // the silent one, now answering, from the start; the one that hung up
    // (gone for good) from its logos.
    silent.line->setSilent(false);
    EXPECT_EQ(run({"fleet", profile.path().string(), "--retry", report.string() + ".json",
                   "--report", (profile.path() / "retry").string()}),
              2)
        << err.str();
    ASSERT_TRUE(silent.line->waitForQuiet(100ms, 5s));
    Bytes twice(kIdentify.begin(), kIdentify.begin() + 3);
    twice.insert(twice.end(), expected.begin(), expected.end());
    EXPECT_EQ(silent.line->received(), twice);
    std::ifstream retried(profile.path() / "retry.json");
    const auto again = nlohmann::json::parse(retried)["printers"];
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0]["serial_number"], "SN-SILENT");
    EXPECT_EQ(again[0]["succeeded"], true);
    EXPECT_EQ(again[1]["first_step"], 1);
    EXPECT_EQ(again[1]["steps"].size(), 3u); // identify, logos, the test page
}

TEST_F(FleetE2E, ABadProfileIsRefusedWithEveryProblemAndNothingSent) {
    Printer printer("SN-1");
    profile.write("profile", std::string("settings\ncompound missing.code\nlogos\ntest-page nope\n"
                                         "firmware\nwobble\n"));
    profile.write("Logo_Path", std::string("1,\"logos/gone.bmp\",\"gone.bmp\",446,64,48\r\n"));
    profile.write("printers.txt", printer.line->slavePath() + "\n");
    EXPECT_EQ(run({"fleet", profile.path().string(), "--printers",
                   (profile.path() / "printers.txt").string()}),
              1);
    EXPECT_THAT(err.str(), HasSubstr("line 6: \"wobble\" is no step"));
    EXPECT_THAT(err.str(), HasSubstr("holds no *.firm image"));
    profile.write("profile",
                  std::string("settings\ncompound missing.code\nlogos\ntest-page nope\n"));
    EXPECT_EQ(run({"fleet", profile.path().string(), "--printers",
                   (profile.path() / "printers.txt").string()}),
              1);
    EXPECT_THAT(err.str(), HasSubstr("compound missing.code: The compound font file"));
    EXPECT_THAT(err.str(), HasSubstr("logos: "));
    EXPECT_THAT(err.str(), HasSubstr("gone.bmp"));
    EXPECT_THAT(err.str(), HasSubstr("test-page nope: "));
    EXPECT_TRUE(printer.line->received().empty());
}

// A stop (Ctrl+C) lets the step running end and starts nothing after it:
// one printer at a time, stopped as the first one's settings end.
TEST_F(FleetE2E, AStopEndsTheRunningStepAndStartsNoOther) {
    Printer first("SN-1"), second("SN-2");
    const PrinterListRead list =
        parsePrinterList(first.line->slavePath() + "\n" + second.line->slavePath() + "\n",
                         profile.path(), {}, "115200,n,8,1");
    const ProfileRead read = readProfile(profile.path());
    ASSERT_TRUE(read.profile && read.problems.empty() && list.problems.empty());
    Fleet fleet(*read.profile, list.printers, {1, [] { return createSystemSerialPort(); }});
    fleet.onStep = [&](std::size_t, const StepRecord& s) {
        if (s.step == "settings")
            fleet.stop();
    };
    fleet.run();
    const auto outcomes = [&](std::size_t printer) {
        std::vector<std::string> o;
        for (const StepRecord& s : fleet.records()[printer].steps)
            o.push_back(s.outcome);
        return o;
    };
    EXPECT_EQ(outcomes(0), (std::vector<std::string>{"done", "done", "not run", "not run"}));
    EXPECT_EQ(outcomes(1), (std::vector<std::string>{"not run", "not run", "not run", "not run"}));
    EXPECT_TRUE(second.line->received().empty());
    EXPECT_FALSE(fleetSucceeded(fleet.records()));
}

} // namespace
} // namespace ordalia
