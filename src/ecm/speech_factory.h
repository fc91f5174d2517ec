// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Builds the speech output the command line asks for.
#include "ecm/speech.h"
#include "support/result.h"

#include <memory>
#include <string_view>

namespace kestle::ecm {

// "auto": espeak-ng voices on the system's sound output; where there is no
//         sound device they stay silent without an error.
// "none": no speech at all.
// "wav:DIR": espeak-ng voices written as DIR/voiceN-SEQ.wav, one file per
//         utterance (for tests and recordings).
// Anything else is an Error. An unusable engine or folder is not: the speech
// then stays silent and reports it through firstError().
Result<std::unique_ptr<Speech>> makeSpeech(std::string_view option);

} // namespace kestle::ecm
