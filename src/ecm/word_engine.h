#pragma once
// ECM: word lists, word selection, speech and the phoneme engine of the
// main window. (Being built.)
namespace kestle::ecm {
class WordEngine {};
} // namespace kestle::ecm
