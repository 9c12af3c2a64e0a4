#include "ServiceConfig.h"

#include <fstream>
#include <set>

#include "Values.h"

namespace brontald {

namespace {

constexpr unsigned kMaxComPort = 255;
constexpr size_t kMaxPrinterName = 32;

bool ParseUnsigned(const std::string& text, unsigned long long low, unsigned long long high,
                   unsigned long long* value) {
    LONGLONG number = 0;
    if (!drvkeltor::ParseInteger(text, static_cast<LONGLONG>(low), static_cast<LONGLONG>(high),
                                 &number)) {
        return false;
    }
    *value = static_cast<unsigned long long>(number);
    return true;
}

bool ParseFlag(const std::string& text, bool* flag) {
    if (text == "yes" || text == "true" || text == "on" || text == "1") {
        *flag = true;
        return true;
    }
    if (text == "no" || text == "false" || text == "off" || text == "0") {
        *flag = false;
        return true;
    }
    return false;
}

// "COM3" or "3".
bool ParseComPort(const std::string& text, unsigned* port) {
    std::string digits = text;
    if (digits.size() > 3 &&
        (digits.compare(0, 3, "COM") == 0 || digits.compare(0, 3, "com") == 0)) {
        digits = digits.substr(3);
    }
    unsigned long long number = 0;
    if (!ParseUnsigned(digits, 1, kMaxComPort, &number)) {
        return false;
    }
    *port = static_cast<unsigned>(number);
    return true;
}

bool ParseBaud(const std::string& text, unsigned* baud) {
    unsigned long long number = 0;
    if (!ParseUnsigned(text, 1200, 921600, &number)) {
        return false;
    }
    *baud = static_cast<unsigned>(number);
    return true;
}

bool IsPrinterName(const std::string& name) {
    if (name.empty() || name.size() > kMaxPrinterName) {
        return false;
    }
    for (const char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && !(c >= '0' && c <= '9') && c != '-' && c != '_') {
            return false;
        }
    }
    return true;
}

// One "key = value" of the [service] section; empty, or what is wrong.
std::string ServiceSetting(const std::string& key, const std::string& value,
                           ServiceConfig* config) {
    unsigned long long number = 0;
    if (key == "listen") {
        config->listen = value;
    } else if (key == "port") {
        if (!ParseUnsigned(value, 0, 65535, &number)) {
            return "port must be a number from 0 to 65535";
        }
        config->httpPort = static_cast<unsigned>(number);
    } else if (key == "token") {
        config->token = value;
    } else if (key == "database") {
        config->database = value;
    } else if (key == "max_body_kb") {
        if (!ParseUnsigned(value, 1, 64 * 1024, &number)) {
            return "max_body_kb must be a number from 1 to 65536";
        }
        config->maxBodyBytes = static_cast<size_t>(number) * 1024;
    } else if (key == "allow_raw_commands") {
        if (!ParseFlag(value, &config->allowRawCommands)) {
            return "allow_raw_commands must be yes or no";
        }
    } else if (key == "key_retention_days") {
        if (!ParseUnsigned(value, 1, 3650, &number)) {
            return "key_retention_days must be a number from 1 to 3650";
        }
        config->keyRetentionDays = static_cast<unsigned>(number);
    } else {
        return "unknown setting " + key + " in [service]";
    }
    return std::string();
}

std::string PrinterSetting(const std::string& key, const std::string& value,
                           PrinterConfig* printer) {
    if (key == "port") {
        if (!ParseComPort(value, &printer->port)) {
            return "port must be a COM port number from 1 to 255";
        }
    } else if (key == "baud") {
        if (!ParseBaud(value, &printer->baud)) {
            return "baud must be a speed from 1200 to 921600";
        }
    } else if (key == "cashier") {
        printer->cashier = value;
    } else if (key == "autodetect") {
        if (!ParseFlag(value, &printer->autodetect)) {
            return "autodetect must be yes or no";
        }
    } else {
        return "unknown setting " + key + " in [printer " + printer->name + "]";
    }
    return std::string();
}

std::string WithoutComment(const std::string& line) {
    size_t cut = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        // A comment starts a line or follows a blank, so that tokens may hold '#'.
        if ((line[i] == '#' || line[i] == ';') &&
            (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
            cut = i;
            break;
        }
    }
    return drvkeltor::Trimmed(line.substr(0, cut));
}

}  // namespace

const PrinterConfig* ServiceConfig::Find(const std::string& name) const {
    for (const PrinterConfig& printer : printers) {
        if (printer.name == name) {
            return &printer;
        }
    }
    return nullptr;
}

bool IsLoopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.compare(0, 4, "127.") == 0;
}

bool LoadConfigFile(const std::string& path, ServiceConfig* config, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = path + ": cannot be read";
        return false;
    }
    enum class Section { None, Service, Printer } section = Section::None;
    PrinterConfig* printer = nullptr;
    std::string line;
    unsigned number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const std::string text = WithoutComment(line);
        if (text.empty()) {
            continue;
        }
        if (text.front() == '[') {
            if (text.back() != ']') {
                *error = where + "a section heading ends with ']'";
                return false;
            }
            const std::string heading = drvkeltor::Trimmed(text.substr(1, text.size() - 2));
            if (heading == "service") {
                section = Section::Service;
            } else if (heading.compare(0, 8, "printer ") == 0) {
                PrinterConfig added;
                added.name = drvkeltor::Trimmed(heading.substr(8));
                config->printers.push_back(added);
                printer = &config->printers.back();
                section = Section::Printer;
            } else {
                *error = where + "unknown section [" + heading + "]";
                return false;
            }
            continue;
        }
        const size_t equals = text.find('=');
        if (equals == std::string::npos || section == Section::None) {
            *error = where + (section == Section::None ? "a setting outside any section"
                                                       : "expected key = value");
            return false;
        }
        const std::string key = drvkeltor::Trimmed(text.substr(0, equals));
        const std::string value = drvkeltor::Trimmed(text.substr(equals + 1));
        const std::string problem = section == Section::Service
                                        ? ServiceSetting(key, value, config)
                                        : PrinterSetting(key, value, printer);
        if (!problem.empty()) {
            *error = where + problem;
            return false;
        }
    }
    return true;
}

bool ParsePrinterOption(const std::string& text, PrinterConfig* printer, std::string* error) {
    const size_t equals = text.find('=');
    if (equals == std::string::npos) {
        *error = "--printer wants NAME=COMn[,BAUD]";
        return false;
    }
    PrinterConfig parsed;
    parsed.name = text.substr(0, equals);
    std::string port = text.substr(equals + 1);
    const size_t comma = port.find(',');
    if (comma != std::string::npos) {
        if (!ParseBaud(port.substr(comma + 1), &parsed.baud)) {
            *error = "--printer " + text + ": the speed must be from 1200 to 921600";
            return false;
        }
        port = port.substr(0, comma);
    }
    if (!ParseComPort(port, &parsed.port)) {
        *error = "--printer " + text + ": the port must be COM1 to COM255";
        return false;
    }
    *printer = parsed;
    return true;
}

std::string CheckConfig(const ServiceConfig& config) {
    if (config.printers.empty()) {
        return "no printer is configured (a [printer NAME] section or --printer NAME=COMn)";
    }
    std::set<std::string> names;
    for (const PrinterConfig& printer : config.printers) {
        if (!IsPrinterName(printer.name)) {
            return "printer name \"" + printer.name +
                   "\": 1 to 32 letters, digits, '-' or '_' (it is part of the URLs)";
        }
        if (!names.insert(printer.name).second) {
            return "printer " + printer.name + " is configured twice";
        }
        if (printer.port == 0 && !printer.autodetect) {
            return "printer " + printer.name + " has no port (port = N, or autodetect = yes)";
        }
    }
    if (!IsLoopback(config.listen) && config.token.empty()) {
        return "listening on " + config.listen +
               " needs a token in the configuration file ([service] token = ...)";
    }
    return std::string();
}

}  // namespace brontald
