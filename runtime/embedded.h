// The pictures, sounds and font carried inside the executable. The build
// generates the table from the files in assets/.
#pragma once

#include <cstddef>

struct EmbeddedAsset {
    const char* name;
    const unsigned char* bytes;
    std::size_t size;
};

// The pictures and sounds of assets/, each embedded under its file name, in
// the order they are embedded. The build reads this list to embed them and
// the asset check to make them again; start-up loads them by these names.
constexpr const char* kSparkAsset = "spark.png";
constexpr const char* kBlowSoundAsset = "blow.wav";
constexpr const char* kBlockSoundAsset = "block.wav";
constexpr const char* kTitlePictureAsset = "205275.png";

extern const EmbeddedAsset kEmbeddedAssets[];
extern const int kEmbeddedAssetCount;

// Null for a name the build did not embed.
const EmbeddedAsset* findEmbeddedAsset(const char* name);

// Adds the font and the four pictures and sounds to the resource table, in
// the order start-up adds them; adding them again changes nothing.
void addEmbeddedResources();
