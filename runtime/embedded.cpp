// The embedded pictures, sounds and font registered as resources.
#include "runtime/embedded.h"

#include "runtime/files.h"
#include "runtime/graphics.h"

void addEmbeddedResources() {
    addFontResource();
    // The font is the table's first entry; adding it again changes nothing.
    for (int i = 0; i < kEmbeddedAssetCount; ++i)
        addResource(kEmbeddedAssets[i].name, kEmbeddedAssets[i].bytes, kEmbeddedAssets[i].size);
}
