// A gauge image file's text: the simulated gauge's parser either refuses it with a message
// naming the line or gives an image that, written back out, reads again into the same text.

#include "fuzz_check.h"

#include "gauge_image.h"

#include <string>
#include <string_view>

using namespace quilex::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    GaugeImage image;
    std::string error;
    if (!parseImage(text, image, error)) {
        FUZZ_CHECK(error.rfind("line ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(image.archive.size() <= std::size_t(ArchiveSlots));
    FUZZ_CHECK(image.firmware.size() <= VersionTextMax);
    for (std::size_t i = 1; i < image.archive.size(); ++i)
        FUZZ_CHECK(image.archive[i - 1].slot < image.archive[i].slot);
    const std::string written = formatImage(image);
    GaugeImage again;
    std::string againError;
    FUZZ_CHECK(parseImage(written, again, againError));
    FUZZ_CHECK(formatImage(again) == written);
    return 0;
}
