// The code extensions of ISO 2022: which register a set goes to, where a
// value's delimiters return to the initial state, and the escape sequences
// that designate the sets, read and written.
#pragma once

#include "charset.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace dicom {

using TCodeSet = TCharacterSet::TCodeSet;

constexpr char kESC = 0x1B;

bool IsG1(TCharacterSet::TSetKind K);
bool IsDoubleG0(TCharacterSet::TSetKind K);
bool SameSet(const TCodeSet& A, const TCodeSet& B);
// Printable: G0 holds a one-byte set, so the byte is a character of its own.
bool IsDelimiter(uint32_t C, TTextKind Kind, bool Printable);

// The escape sequence at P, an ESC with N bytes from it on: its length with
// the ESC, and the set it designates in Set; 0 when it designates none we know.
size_t ReadDesignation(const uint8_t* P, size_t N, TCodeSet& Set);

// The sets in G0 and G1 as a value is written, and the escape sequences that
// switch them, written to Out.
class TDesignator {
public:
    TDesignator(const TCodeSet& InitialG0, const TCodeSet& InitialG1, std::string& Out)
        : G0(InitialG0), G1(InitialG1), InitialG0(InitialG0), InitialG1(InitialG1), Out(Out)
    {
    }
    // S to its register, with its escape sequence unless it is there already.
    void Designate(const TCodeSet& S);
    // Back to value 1's sets, as required before every delimiter and at the
    // end of the value.
    void Reset();

    TCodeSet G0, G1;

private:
    const TCodeSet InitialG0, InitialG1;
    std::string& Out;
};

} // namespace dicom
