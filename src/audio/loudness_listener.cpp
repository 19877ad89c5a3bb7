// The registered loudness listener.
#include "audio/loudness_listener.h"

namespace {

LoudnessListener silentListener;
LoudnessListener* registeredListener = &silentListener;

}  // namespace

void SetLoudnessListener(LoudnessListener* listener) {
    registeredListener = listener ? listener : &silentListener;
}

LoudnessListener& CurrentLoudnessListener() { return *registeredListener; }
