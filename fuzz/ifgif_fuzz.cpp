// The GIF plug-in (ifgif.spi) through its C entry points: see plugin_fuzz.h.
#include "plugin_fuzz.h"

namespace {
octile::fuzz::PluginEntryPoints plugin;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Loaded before the first input, so that libFuzzer counts its coverage.
    plugin = octile::fuzz::LoadPlugin("ifgif.spi");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return octile::fuzz::FuzzPlugin(plugin, data, size);
}
