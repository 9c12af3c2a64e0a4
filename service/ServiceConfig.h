// What brontald serves and how: its printers and its own settings, from a small configuration
// file and the command line (which wins).
//
// The file is of the INI kind, '#' or ';' starting a comment:
//
//   [service]
//   listen = 127.0.0.1          # any other address needs a token
//   port = 8690
//   token = ...                 # bearer token every request must carry
//   database = /var/lib/brontald/brontald.db
//   max_body_kb = 256
//   allow_raw_commands = no     # TransferBytes and RawCommandBytes through /call
//   key_retention_days = 30
//
//   [printer main]              # the name used in the URLs
//   port = 1                    # COM port number
//   baud = 9600
//   cashier = Иванова           # logged in at every connection, when given
//   autodetect = no             # scan the ports when the printer is not found
#pragma once

#include <string>
#include <vector>

namespace brontald {

struct PrinterConfig {
    std::string name;
    unsigned port = 0;
    unsigned baud = 9600;
    std::string cashier;  // UTF-8
    bool autodetect = false;
};

constexpr unsigned kDefaultHttpPort = 8690;
constexpr size_t kDefaultMaxBodyBytes = 256 * 1024;

struct ServiceConfig {
    std::string listen = "127.0.0.1";
    unsigned httpPort = kDefaultHttpPort;  // 0: any free port
    std::string token;
    std::string database = "brontald.db";
    size_t maxBodyBytes = kDefaultMaxBodyBytes;
    bool allowRawCommands = false;
    unsigned keyRetentionDays = 30;
    std::vector<PrinterConfig> printers;

    const PrinterConfig* Find(const std::string& name) const;
};

// The file's settings over `config`. False with `error` ("brontald.conf:7: ...") for a line
// that cannot be read, an unknown setting or a bad value.
bool LoadConfigFile(const std::string& path, ServiceConfig* config, std::string* error);
// Settings that are wrong together: no printer, a duplicate or unusable printer name, another
// address than loopback without a token. Empty when the configuration can be served.
std::string CheckConfig(const ServiceConfig& config);
// "NAME=COMn[,BAUD]" or "NAME=n[,BAUD]" from the command line.
bool ParsePrinterOption(const std::string& text, PrinterConfig* printer, std::string* error);
bool IsLoopback(const std::string& address);

}  // namespace brontald
