// brontald's configuration: the file's sections, comments and values, its errors with their line,
// the command line's printers, and the combinations that cannot be served.
#include <gtest/gtest.h>

#include "ServiceConfig.h"
#include "TestSupport.h"

namespace brontald {
namespace {

class ConfigTest : public ::testing::Test {
  protected:
    // Loads `text` as a configuration file; the error, empty when it loaded.
    std::string Load(const std::string& text) {
        testsupport::WriteFileBytes(file_, text);
        std::string error;
        return LoadConfigFile(file_, &config_, &error) ? std::string() : error;
    }

    testsupport::TempDir dir_;
    std::string file_ = dir_.file("brontald.conf");
    ServiceConfig config_;
};

TEST_F(ConfigTest, ReadsTheServiceAndEveryPrinter) {
    ASSERT_EQ(Load("# the shop's tills\n"
                   "[service]\n"
                   "listen = 0.0.0.0\n"
                   "port = 9000   # behind the firewall\n"
                   "token = a#b;c ; the part after a blank is a comment\n"
                   "database = /var/lib/brontald/keys.db\n"
                   "max_body_kb = 64\n"
                   "allow_raw_commands = yes\n"
                   "key_retention_days = 7\n"
                   "\n"
                   "[printer till-1]\n"
                   "port = COM3\n"
                   "baud = 115200\n"
                   "cashier = Иванова\n"
                   "[printer till_2]\n"
                   "port = 4\n"
                   "autodetect = on\n"),
              "");
    EXPECT_EQ(config_.listen, "0.0.0.0");
    EXPECT_EQ(config_.httpPort, 9000u);
    EXPECT_EQ(config_.token, "a#b;c");
    EXPECT_EQ(config_.database, "/var/lib/brontald/keys.db");
    EXPECT_EQ(config_.maxBodyBytes, 64u * 1024);
    EXPECT_TRUE(config_.allowRawCommands);
    EXPECT_EQ(config_.keyRetentionDays, 7u);
    ASSERT_EQ(config_.printers.size(), 2u);
    EXPECT_EQ(config_.printers[0].name, "till-1");
    EXPECT_EQ(config_.printers[0].port, 3u);
    EXPECT_EQ(config_.printers[0].baud, 115200u);
    EXPECT_EQ(config_.printers[0].cashier, "Иванова");
    EXPECT_FALSE(config_.printers[0].autodetect);
    EXPECT_EQ(config_.printers[1].port, 4u);
    EXPECT_EQ(config_.printers[1].baud, 9600u);
    EXPECT_TRUE(config_.printers[1].autodetect);
    EXPECT_EQ(CheckConfig(config_), "");
    EXPECT_EQ(config_.Find("till_2"), &config_.printers[1]);
    EXPECT_EQ(config_.Find("till-3"), nullptr);
}

TEST_F(ConfigTest, ErrorsNameTheFileLineAndWhatIsWrong) {
    EXPECT_EQ(Load("port = 1\n"), file_ + ":1: a setting outside any section");
    EXPECT_EQ(Load("[service]\n\nport = 70000\n"),
              file_ + ":3: port must be a number from 0 to 65535");
    EXPECT_EQ(Load("[printer a]\nport = COM0\n"),
              file_ + ":2: port must be a COM port number from 1 to 255");
    EXPECT_EQ(Load("[printer a]\nbaud = fast\n"),
              file_ + ":2: baud must be a speed from 1200 to 921600");
    EXPECT_EQ(Load("[printer a]\nparity = even\n"),
              file_ + ":2: unknown setting parity in [printer a]");
    EXPECT_EQ(Load("[service]\nallow_raw_commands = perhaps\n"),
              file_ + ":2: allow_raw_commands must be yes or no");
    EXPECT_EQ(Load("[drawer]\n"), file_ + ":1: unknown section [drawer]");
    EXPECT_EQ(Load("[service\n"), file_ + ":1: a section heading ends with ']'");
    EXPECT_EQ(Load("[service]\nlisten\n"), file_ + ":2: expected key = value");
    std::string error;
    EXPECT_FALSE(LoadConfigFile(dir_.file("missing.conf"), &config_, &error));
    EXPECT_EQ(error, dir_.file("missing.conf") + ": cannot be read");
}

TEST_F(ConfigTest, WhatCannotBeServedIsSaid) {
    EXPECT_EQ(CheckConfig(config_),
              "no printer is configured (a [printer NAME] section or --printer NAME=COMn)");
    PrinterConfig printer;
    std::string error;
    ASSERT_TRUE(ParsePrinterOption("main=COM2,19200", &printer, &error)) << error;
    EXPECT_EQ(printer.name, "main");
    EXPECT_EQ(printer.port, 2u);
    EXPECT_EQ(printer.baud, 19200u);
    EXPECT_FALSE(ParsePrinterOption("main", &printer, &error));
    EXPECT_EQ(error, "--printer wants NAME=COMn[,BAUD]");
    EXPECT_FALSE(ParsePrinterOption("main=COM300", &printer, &error));
    EXPECT_FALSE(ParsePrinterOption("main=COM1,fast", &printer, &error));

    config_.printers = {printer, printer};
    EXPECT_EQ(CheckConfig(config_), "printer main is configured twice");
    config_.printers[1].name = "till/2";
    EXPECT_EQ(CheckConfig(config_),
              "printer name \"till/2\": 1 to 32 letters, digits, '-' or '_' (it is part of the "
              "URLs)");
    config_.printers.resize(1);
    config_.listen = "192.168.1.10";
    EXPECT_EQ(CheckConfig(config_),
              "listening on 192.168.1.10 needs a token in the configuration file ([service] "
              "token = ...)");
    config_.token = "t";
    EXPECT_EQ(CheckConfig(config_), "");
    EXPECT_TRUE(IsLoopback("127.0.0.2"));
    EXPECT_TRUE(IsLoopback("::1"));
    EXPECT_FALSE(IsLoopback("0.0.0.0"));
}

}  // namespace
}  // namespace brontald
