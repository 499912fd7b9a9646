#pragma once
// Where the simulated gauge takes its faults and contents from: $QUILEX_SIM and
// $QUILEX_SIM_IMAGE, or values given in their place (command-line options, test control).

#include "gauge_image.h"
#include "sim_faults.h"

#include <string>

namespace quilex::sim {

struct SimSetup {
    FaultConfig faults;
    GaugeImage image;
};

// `faults` and `imagePath` replace the environment variables when not null. An empty image
// path (or none at all) means the built-in demo gauge. `records=N` and `empty` of the fault
// list replace the image's archive.
bool loadSetup(const char* faults, const char* imagePath, SimSetup& out, std::string& error);

} // namespace quilex::sim
