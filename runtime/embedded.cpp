// The embedded pictures, sounds and font registered as resources.
#include "runtime/embedded.h"

#include "runtime/files.h"
#include "runtime/graphics.h"

void addEmbeddedResources() {
    addFontResource();
    for (const char* name : {"spark.png", "blow.wav", "block.wav", "205275.png"}) {
        const EmbeddedAsset* asset = findEmbeddedAsset(name);
        if (asset != nullptr) addResource(name, asset->bytes, asset->size);
    }
}
