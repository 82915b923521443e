#include "charset_iconv.h"

#include "charset.h"

#include <cerrno>

namespace dicom {

bool TIconv::Run(const char* In, size_t Count, std::string& Out, const std::function<void(uint8_t)>* Bad)
{
    if (!Valid()) {
        if (Bad == nullptr)
            return false;
        for (size_t I = 0; I < Count; ++I)
            (*Bad)(static_cast<uint8_t>(In[I]));
        return true;
    }
    ::iconv(Handle, nullptr, nullptr, nullptr, nullptr);
    char* Src = const_cast<char*>(In);
    size_t Left = Count;
    char Buffer[512];
    while (Left > 0) {
        char* Dst = Buffer;
        size_t Room = sizeof Buffer;
        const size_t R = ::iconv(Handle, &Src, &Left, &Dst, &Room);
        Out.append(Buffer, static_cast<size_t>(Dst - Buffer));
        if (R != static_cast<size_t>(-1) || errno == E2BIG)
            continue;
        if (Bad == nullptr)
            return false;
        // A byte that does not convert, or a character cut short at the end.
        (*Bad)(static_cast<uint8_t>(*Src));
        ++Src;
        --Left;
        ::iconv(Handle, nullptr, nullptr, nullptr, nullptr);
    }
    char* Dst = Buffer;
    size_t Room = sizeof Buffer;
    ::iconv(Handle, nullptr, nullptr, &Dst, &Room);
    Out.append(Buffer, static_cast<size_t>(Dst - Buffer));
    return true;
}

TIconv& TIconvCache::For(const char* Name)
{
    auto& Slot = Open[Name];
    if (!Slot)
        Slot = ToUTF8 ? std::make_unique<TIconv>("UTF-8", Name) : std::make_unique<TIconv>(Name, "UTF-8");
    return *Slot;
}

std::string TextToUTF8(const std::string& Bytes, const std::string& Codeset)
{
    std::string Out;
    TIconv Cv("UTF-8", Codeset.c_str());
    Cv.ConvertLenient(Bytes.data(), Bytes.size(), Out, [&](uint8_t B) { Out += B < 0x80 ? static_cast<char>(B) : '?'; });
    return Out;
}

} // namespace dicom
