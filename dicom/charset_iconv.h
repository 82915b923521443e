// The C library's iconv behind the character sets: one conversion, strict or
// lenient, and the conversions one decode or encode opens by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <iconv.h>
#include <map>
#include <memory>
#include <string>

namespace dicom {

class TIconv {
public:
    TIconv(const char* To, const char* From) : Handle(::iconv_open(To, From)) {}
    ~TIconv()
    {
        if (Valid())
            ::iconv_close(Handle);
    }
    TIconv(const TIconv&) = delete;
    TIconv& operator=(const TIconv&) = delete;
    bool Valid() const { return Handle != reinterpret_cast<iconv_t>(-1); }

    // Converts In whole, strictly, from the initial state; false when any
    // of it does not convert.
    bool Convert(const char* In, size_t Count, std::string& Out)
    {
        return Run(In, Count, Out, nullptr);
    }

    // Converts In whole; each byte that does not convert goes to Bad
    // instead, and the conversion goes on after it.
    template <class F> void ConvertLenient(const char* In, size_t Count, std::string& Out, F Bad)
    {
        std::function<void(uint8_t)> Handler = Bad;
        Run(In, Count, Out, &Handler);
    }

private:
    iconv_t Handle;

    bool Run(const char* In, size_t Count, std::string& Out, const std::function<void(uint8_t)>* Bad);
};

// Conversions opened once per decode or encode, by charset name.
class TIconvCache {
public:
    explicit TIconvCache(bool ToUTF8) : ToUTF8(ToUTF8) {}
    TIconv& For(const char* Name);

private:
    bool ToUTF8;
    std::map<std::string, std::unique_ptr<TIconv>> Open;
};

// 80-9F of Windows-1252 that iconv leaves undefined keep their own number.
inline bool Undefined1252(uint8_t B) { return B == 0x81 || B == 0x8D || B == 0x8F || B == 0x90 || B == 0x9D; }

} // namespace dicom
