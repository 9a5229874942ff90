// The SDL platform's audio device, which the mixer fills.
#include <cstring>

#include "runtime/platform/sdl_platform_class.h"
#include "runtime/sound.h"

MixCallback audioMixer = nullptr;

namespace {

void SDLCALL audioCallback(void* /*userdata*/, Uint8* stream, int length) {
    std::int16_t* out = reinterpret_cast<std::int16_t*>(stream);
    const int frames = length / 4;
    if (audioMixer != nullptr) {
        audioMixer(out, frames);
    } else {
        std::memset(stream, 0, static_cast<std::size_t>(length));
    }
}

}  // namespace

bool SdlPlatform::openAudio(MixCallback mix) {
    if (audio_ != 0) return true;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec want{};
    want.freq = kMixRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = kMixBlockFrames;
    want.callback = audioCallback;
    SDL_AudioSpec have{};
    audioMixer = mix;
    audio_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (audio_ == 0) {
        audioMixer = nullptr;
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    SDL_PauseAudioDevice(audio_, 0);
    return true;
}

void SdlPlatform::lockAudio() {
    if (audio_ != 0) SDL_LockAudioDevice(audio_);
}

void SdlPlatform::unlockAudio() {
    if (audio_ != 0) SDL_UnlockAudioDevice(audio_);
}
