#include "ResultCodes.h"

namespace brontald {

namespace {

struct Explanation {
    long code;
    const char* text;
};

constexpr Explanation kExplanations[] = {
    {0, "Success."},
    {19, "Nothing was printed: the slip form is missing or full."},
    {-8101, "The link layer was called with bad parameters."},
    {-8102, "A malformed packet was received from the printer."},
    {-8103, "The printer's reply packet has a wrong size."},
    {-8104, "The printer did not start its reply in time."},
    {-8105, "The printer's reply packet has a wrong check byte."},
    {-8106, "The request packet could not be sent to the port."},
    {-8107, "The printer refused the request packet (NAK)."},
    {-8108, "The printer's reply packet did not arrive in time."},
    {-8109, "The printer's reply carries another sequence number than the request."},
    {-9001, "The driver failed to initialise."},
    {-9002,
     "Bad arguments for the operation, or a value the printer cannot take; nothing was "
     "sent."},
    {-9003, "No serial port is set for the printer."},
    {-9004, "There is no connection to the printer."},
    {-9005, "The exchange with the printer failed: its reply could not be read."},
    {-9006, "The driver's settings could not be read."},
    {-9007, "The driver's settings could not be saved."},
    {-9009,
     "The printer did not confirm the command: its replies were lost and its state could not "
     "be read."},
    {-9201,
     "The printer refused the command: commands came in the wrong order (for example a "
     "receipt is already open, or none is)."},
    {-9202, "The printer does not know the command."},
    {-9203, "The printer refused a parameter of the command."},
    {-9204, "A counter of the printer would overflow."},
    {-9205, "There is not enough cash in the drawer."},
    {-9213, "There is not enough receipt paper to print the electronic journal."},
    {-9214, "The fiscal day is longer than 24 hours: print a Z report."},
    {-9215, "Wrong password."},
    {-9216, "The printing mechanism is not available."},
    {-9217, "The receipt paper has run out."},
    {-9218, "The control tape has run out."},
    {-9219, "The slip form is missing."},
    {-9220, "The printer is not ready."},
    {-9221, "EPROM memory error."},
    {-9222, "Electronic journal error."},
    {-9223, "Clock error."},
    {-9232, "Tax not found."},
    {-9233, "Department not found: it is not programmed in the printer."},
    {-9234, "Cash income/outcome department not found."},
    {-9235, "Currency code not found in the printer's currency table."},
    {-9236, "Payment facility not found in the printer's table."},
    {-9237, "Fuel type not found."},
    {-9238, "Z report not found."},
    {-9239, "Document not found."},
    {-9248, "Error in the link to the tax authorities' control unit."},
    {-9249, "Time-out in the link to the tax authorities' control unit."},
    {-9250, "Authentication with the tax authorities' control unit failed."},
    {-9401, "The driver object could not be initialised."},
    {-9402, "A background operation could not be started."},
    {-9403, "A background operation could not be initialised."},
};

}  // namespace

std::string ExplainResultCode(long code) {
    for (const Explanation& explanation : kExplanations) {
        if (explanation.code == code) {
            return explanation.text;
        }
    }
    if (code > 0) {
        return "Success, with a note from the driver.";
    }
    if (code <= -8100 && code >= -8199) {
        return "Undocumented error of the link layer.";
    }
    if (code <= -9000 && code >= -9200) {
        return "Undocumented error of the driver.";
    }
    if (code <= -9201 && code >= -9399) {
        return "The printer reported error " + std::to_string(-code - 9200) + ".";
    }
    return "Undocumented result.";
}

bool IsLinkFailure(long code) {
    // -9009: the command's replies and the status read after them were lost.
    return (code <= -8101 && code >= -8199) || code == -9003 || code == -9004 || code == -9005 ||
           code == -9009;
}

bool IsTimeout(long code) {
    return code == -8104 || code == -8108;
}

}  // namespace brontald
