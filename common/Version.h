#pragma once

// The product's name and version, held here once for both programs: their version blocks (the
// resource scripts), the version label of their windows and the release scripts (the archive's
// name, the check of the built version blocks) all take them from these lines. Plain #defines,
// because the resource compiler and the release scripts read this file too.

#define VELMOR_PRODUCT_NAME "Velmor"
#define VELMOR_VERSION "4.01"              // as the window shows it, after "Ver : "
#define VELMOR_VERSION_NUMBERS 4, 1, 0, 0  // the same version in the blocks' numeric fields
