// SPDX-License-Identifier: GPL-3.0-or-later
// Speech calls of the engine, "Speech On" and the typed text of Text1.
#include "ecm/word_engine.h"

namespace kestle::ecm {

void WordEngine::reportSpeechError() {
    // A failing engine never stops the words; the operator hears of it once.
    if (speechErrorShown_)
        return;
    const std::string e = speech_.firstError();
    if (e.empty())
        return;
    host_.status(e);
    speechErrorShown_ = true;
}

void WordEngine::speak(int voice, const std::string& text) {
    speech_.speak(voice, text);
    reportSpeechError();
}

void WordEngine::quiet(int voice) {
    speech_.quiet(voice);
}

void WordEngine::speechON_Click() {
    if (f_.speechON->checked()) {
        f_.speechON->setChecked(false);
        return;
    }
    f_.speechON->setChecked(true);
    f_.htime->setEnabled(false);
    f_.Frame3->setVisible(true);
}

void WordEngine::Text1_Change() {
    const std::string text = f_.Text1->text();
    if (text.find("\r\n") == std::string::npos)
        return;
    speak(1, text);
    f_.Text1->setText("");
}

} // namespace kestle::ecm
