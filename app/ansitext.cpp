#include "ansitext.h"

#include <array>

namespace ansi {

namespace {

// 80-9F of Windows-1252; everything else is the byte's own Latin-1 value.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98
};

char EncodeChar(char16_t C)
{
    if (C < 0x80 || (C >= 0xA0 && C <= 0xFF))
        return static_cast<char>(C);
    for (size_t I = 0; I < kHigh.size(); ++I)
        if (kHigh[I] == C)
            return static_cast<char>(0x80 + I);
    return '?';
}

bool IsBreak(QChar C)
{
    return C == u'\n' || C == QChar::ParagraphSeparator || C == QChar::LineSeparator;
}

} // namespace

QString Decode(const std::string& Bytes)
{
    QString Out;
    Out.resize(static_cast<qsizetype>(Bytes.size()));
    QChar* D = Out.data();
    for (unsigned char B : Bytes)
        *D++ = QChar(B >= 0x80 && B < 0xA0 ? kHigh[B - 0x80] : char16_t(B));
    return Out;
}

std::string Encode(const QString& Text)
{
    std::string Out;
    Out.reserve(static_cast<size_t>(Text.size()));
    for (QChar C : Text)
        Out += EncodeChar(C.unicode());
    return Out;
}

QString CommentFromBytes(const std::string& Bytes)
{
    const QString Raw = Decode(Bytes);
    QString Out;
    Out.reserve(Raw.size());
    for (qsizetype I = 0; I < Raw.size(); ++I) {
        const QChar C = Raw[I];
        if (C == u'\r') {
            if (I + 1 < Raw.size() && Raw[I + 1] == u'\n')
                ++I;
            Out += u'\n';
        } else {
            Out += C;
        }
    }
    return Out;
}

std::string CommentToBytes(const QString& Text)
{
    std::string Out;
    Out.reserve(static_cast<size_t>(Text.size()) + 16);
    for (QChar C : Text) {
        if (IsBreak(C))
            Out += "\r\n";
        else
            Out += EncodeChar(C.unicode());
    }
    return Out;
}

qsizetype StoredLength(const QString& Text)
{
    qsizetype N = Text.size();
    for (QChar C : Text)
        if (IsBreak(C))
            ++N;
    return N;
}

} // namespace ansi
