#include "config/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

class CIgnoringReporter : public CSettingsErrorReporter {
public:
    void reportFileError(unsigned, unsigned, const std::string& text) override {
        // Touch the text so that its formatting is exercised.
        if (text.size() > 100000)
            std::abort();
    }
};

} // namespace

// Any bytes as a settings file: no crash, no unbounded allocation, and whatever loads without
// a failure saves to bytes that load back to the same bytes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CIgnoringReporter reporter;
    CSettingsFile settings;
    settings.path = "/nonexistent/VNTLSettings.dat";
    settings.setReporter(&reporter);
    if (!settings.loadFromBuffer(data, size))
        return 0;
    const std::vector<std::uint8_t> saved = settings.serializedBytes();
    CSettingsFile reloaded;
    if (!reloaded.loadFromBuffer(saved.data(), saved.size()))
        std::abort();
    if (reloaded.serializedBytes() != saved || reloaded.count() != settings.count())
        std::abort();
    return 0;
}
