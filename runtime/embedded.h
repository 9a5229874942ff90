// The pictures, sounds and font carried inside the executable. The build
// generates the table from the files in assets/.
#pragma once

#include <cstddef>

struct EmbeddedAsset {
    const char* name;
    const unsigned char* bytes;
    std::size_t size;
};

extern const EmbeddedAsset kEmbeddedAssets[];
extern const int kEmbeddedAssetCount;

// Null for a name the build did not embed.
const EmbeddedAsset* findEmbeddedAsset(const char* name);

// Adds the font and the four pictures and sounds to the resource table, in
// the order start-up adds them; adding them again changes nothing.
void addEmbeddedResources();
