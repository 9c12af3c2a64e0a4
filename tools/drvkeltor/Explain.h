// What a result means, in the user's language: the driver's own descriptions stay as they are
// (Russian, for the printer's vocabulary); the client adds a line of its own after them.
#pragma once

#include <string>

namespace drvkeltor {

enum class Language { English, Russian };

// Russian when the locale (LC_ALL, then LC_MESSAGES, then LANG) asks for it, else English.
Language UserLanguage();

// One line on what result code `code` of a method means and, where it helps, what to do.
std::string ExplainResult(long code, Language language);

// Why a serial port could not be opened, with what to do about it.
enum class PortTrouble {
    None,          // it opens: the printer did not answer on it
    NoDevice,      // nothing is connected as this COM port
    NoPermission,  // this user may not open the device
    Busy,          // another program holds it
    Other,
};
// `port` is the COM number, `device` the device behind it when the port map names one, `error`
// the system's error for PortTrouble::Other.
std::string ExplainPortTrouble(PortTrouble trouble, unsigned port, const std::string& device,
                               unsigned long error, Language language);

}  // namespace drvkeltor
