// drvkeltor salestest [options]: the automatic sales test on the driver object of the run.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "DispatchClient.h"
#include "SalesTest.h"

namespace drvkeltor {

// The options after "salestest" into `parameters` (starting from the defaults); false with
// `error` set for an unknown option or a bad value.
bool ParseSalesOptions(const std::vector<std::string>& options,
                       salestest::SalesTestParameters* parameters, std::string* error);
// Runs the test, printing each closed receipt and day to `out` and a failure to `err`. An exit
// code of Script.h.
int RunSalesCommand(salestest::CDispatchClient& driver,
                    const salestest::SalesTestParameters& parameters, std::FILE* out,
                    std::FILE* err);
// The option list and the article presets, for --help.
void PrintSalesUsage(std::FILE* out);

}  // namespace drvkeltor
