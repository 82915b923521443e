// Letter to sound: pronunciations for words the recogniser's dictionary lacks,
// from flite's CMU lexicon and its letter-to-sound rules (installed with the
// program as libflite1), in the acoustic model's phone set.
#pragma once

#include <string>

// Pronunciation of a word the dictionary lacks, in the acoustic model's phones
// (pocketsphinx-en-us: AA AE AH ... ZH, no stress digits), space-separated,
// e.g. "K AA R D IY AH L". Empty when the word has no letters. Thread-safe.
std::string LetterToSound(const std::string& lowerCaseUtf8Word);

// The letter-to-sound rules alone, without the lexicon (for measuring them
// against a dictionary the lexicon already holds).
std::string LetterToSoundRulesOnly(const std::string& lowerCaseUtf8Word);
