#include "sim_setup.h"

#include <cstdlib>

namespace quilex::sim {

bool loadSetup(const char* faults, const char* imagePath, SimSetup& out, std::string& error)
{
    if (!faults)
        faults = std::getenv("QUILEX_SIM");
    if (!imagePath)
        imagePath = std::getenv("QUILEX_SIM_IMAGE");
    SimSetup setup;
    std::string message;
    if (faults && !parseFaults(faults, setup.faults, message)) {
        error = "QUILEX_SIM: " + message;
        return false;
    }
    if (imagePath && *imagePath) {
        if (!loadImageFile(imagePath, setup.image, message)) {
            error = "QUILEX_SIM_IMAGE: " + message;
            return false;
        }
    } else {
        setup.image = demoImage();
    }
    if (setup.faults.records >= 0)
        setup.image.archive = demoArchive(setup.faults.records);
    out = std::move(setup);
    return true;
}

} // namespace quilex::sim
