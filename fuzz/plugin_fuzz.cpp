// One image plug-in (OCTILE_FUZZ_PLUGIN, e.g. "ifgif.spi") through its C
// entry points: see plugin_fuzz.h. The build makes a target of it for each
// plug-in.
#include "plugin_fuzz.h"

namespace {
octile::fuzz::PluginEntryPoints plugin;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Loaded before the first input, so that libFuzzer counts its coverage.
    plugin = octile::fuzz::LoadPlugin(OCTILE_FUZZ_PLUGIN);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return octile::fuzz::FuzzPlugin(plugin, data, size);
}
