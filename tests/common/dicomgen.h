// A small DICOM writer for tests: builds data sets element by element in any
// of the three uncompressed encodings, with sequences and encapsulated pixel
// data, and wraps them in a Part 10 file.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace testgen {

using Bytes = std::vector<uint8_t>;

inline const char* kImplicitLE = "1.2.840.10008.1.2";
inline const char* kExplicitLE = "1.2.840.10008.1.2.1";
inline const char* kExplicitBE = "1.2.840.10008.1.2.2";
inline const char* kDeflated = "1.2.840.10008.1.2.1.99";
inline const char* kJPEGBaseline = "1.2.840.10008.1.2.4.50";
inline const char* kJPEGLossless = "1.2.840.10008.1.2.4.70";
inline const char* kRLE = "1.2.840.10008.1.2.5";

class DataSet {
public:
    DataSet(bool Implicit = false, bool BigEndian = false) : Implicit(Implicit), Big(BigEndian) {}

    // A defined-length element; the value is padded to even length with Pad.
    DataSet& Add(uint16_t G, uint16_t E, const char* VR, std::string Value, char Pad = ' ')
    {
        if (Value.size() % 2 != 0)
            Value += Pad;
        Header(G, E, VR, static_cast<uint32_t>(Value.size()));
        Raw(Value);
        return *this;
    }
    // A defined-length element whose value is given as raw bytes, unpadded.
    DataSet& AddRaw(uint16_t G, uint16_t E, const char* VR, const Bytes& Value)
    {
        Header(G, E, VR, static_cast<uint32_t>(Value.size()));
        Out.insert(Out.end(), Value.begin(), Value.end());
        return *this;
    }
    DataSet& US(uint16_t G, uint16_t E, uint16_t V)
    {
        Header(G, E, "US", 2);
        Put16(V, Swap(G));
        return *this;
    }
    DataSet& USMulti(uint16_t G, uint16_t E, std::initializer_list<uint16_t> Vs)
    {
        Header(G, E, "US", static_cast<uint32_t>(Vs.size() * 2));
        for (auto V : Vs)
            Put16(V, Swap(G));
        return *this;
    }
    // An element header only, with an explicit length (FFFFFFFF for undefined).
    DataSet& Header(uint16_t G, uint16_t E, const char* VR, uint32_t Length)
    {
        const bool S = Swap(G);
        Put16(G, S);
        Put16(E, S);
        if (Implicit && G != 2) {
            Put32(Length, false);
            return *this;
        }
        Out.push_back(static_cast<uint8_t>(VR[0]));
        Out.push_back(static_cast<uint8_t>(VR[1]));
        const std::string V(VR, 2);
        // The long form's VRs, written out here on their own so that the
        // library's list is checked against the standard, not against itself.
        static const std::string kLong = "OBODOFOLOVOWSQSVUCUNURUTUV";
        bool Long = false;
        for (size_t I = 0; I < kLong.size(); I += 2)
            Long = Long || kLong.compare(I, 2, V) == 0;
        if (Long) {
            Put16(0, false);
            Put32(Length, S);
        } else {
            Put16(static_cast<uint16_t>(Length), S);
        }
        return *this;
    }
    // Item (FFFE,E000) with a length (FFFFFFFF for undefined).
    DataSet& Item(uint32_t Length) { return Delim(0xE000, Length); }
    DataSet& ItemEnd() { return Delim(0xE00D, 0); }
    DataSet& SequenceEnd() { return Delim(0xE0DD, 0); }
    DataSet& Raw(const std::string& S)
    {
        Out.insert(Out.end(), S.begin(), S.end());
        return *this;
    }
    DataSet& Raw(const Bytes& B)
    {
        Out.insert(Out.end(), B.begin(), B.end());
        return *this;
    }
    // Encapsulated pixel data: an empty or given offset table and fragments.
    DataSet& Encapsulated(const std::vector<Bytes>& Fragments, const std::vector<uint32_t>& Offsets = {})
    {
        Header(0x7FE0, 0x0010, "OB", 0xFFFFFFFFu);
        Item(static_cast<uint32_t>(Offsets.size() * 4));
        for (auto O : Offsets)
            Put32(O, false);
        for (const auto& F : Fragments) {
            Item(static_cast<uint32_t>(F.size()));
            Raw(F);
        }
        return SequenceEnd();
    }

    const Bytes& bytes() const { return Out; }
    bool IsImplicit() const { return Implicit; }
    bool IsBigEndian() const { return Big; }

    void Put16(uint16_t V, bool S)
    {
        if (S)
            V = static_cast<uint16_t>((V >> 8) | (V << 8));
        Out.push_back(static_cast<uint8_t>(V));
        Out.push_back(static_cast<uint8_t>(V >> 8));
    }
    void Put32(uint32_t V, bool S)
    {
        if (S)
            V = __builtin_bswap32(V);
        for (int I = 0; I < 4; ++I)
            Out.push_back(static_cast<uint8_t>(V >> (8 * I)));
    }

private:
    bool Swap(uint16_t G) const { return Big && G != 2; }
    DataSet& Delim(uint16_t E, uint32_t Length)
    {
        Put16(0xFFFE, Big);
        Put16(E, Big);
        Put32(Length, Big);
        return *this;
    }
    bool Implicit, Big;
    Bytes Out;
};

// The File Meta Information group for a transfer syntax (with group length).
inline Bytes MetaGroup(const std::string& TransferSyntax)
{
    DataSet Body(false, false);
    Body.AddRaw(0x0002, 0x0001, "OB", Bytes{0, 1});
    Body.Add(0x0002, 0x0002, "UI", "1.2.840.10008.5.1.4.1.1.7", '\0');
    Body.Add(0x0002, 0x0003, "UI", "1.2.826.0.1.3680043.8.498.1", '\0');
    Body.Add(0x0002, 0x0010, "UI", TransferSyntax, '\0');
    DataSet Meta(false, false);
    Meta.Header(0x0002, 0x0000, "UL", 4);
    Meta.Put32(static_cast<uint32_t>(Body.bytes().size()), false);
    Meta.Raw(Body.bytes());
    return Meta.bytes();
}

// Preamble, "DICM", meta group, then the data set.
inline Bytes Part10(const std::string& TransferSyntax, const DataSet& Set)
{
    Bytes F(128, 0);
    F.insert(F.end(), {'D', 'I', 'C', 'M'});
    const Bytes M = MetaGroup(TransferSyntax);
    F.insert(F.end(), M.begin(), M.end());
    F.insert(F.end(), Set.bytes().begin(), Set.bytes().end());
    return F;
}

inline void WriteFile(const std::string& Path, const Bytes& B)
{
    std::ofstream O(Path, std::ios::binary | std::ios::trunc);
    O.write(reinterpret_cast<const char*>(B.data()), static_cast<std::streamsize>(B.size()));
    if (!O)
        throw std::runtime_error("cannot write " + Path);
}

inline Bytes ReadFile(const std::string& Path)
{
    std::ifstream I(Path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(I), std::istreambuf_iterator<char>());
}

// A fresh empty folder under the test's temporary directory (or under Base),
// removed with everything in it when the object goes, however the test ends.
class TempDir {
public:
    explicit TempDir(const std::string& Name, const std::string& Base = std::string()) : Path(Make(Name, Base)) {}
    ~TempDir()
    {
        std::error_code Ec, Other;
        // Folders a test made read-only must be opened up to be removed.
        for (auto It = std::filesystem::recursive_directory_iterator(Path, Ec);
             !Ec && It != std::filesystem::recursive_directory_iterator(); It.increment(Ec))
            if (It->is_directory(Other) && !It->is_symlink(Other))
                std::filesystem::permissions(It->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, Other);
        std::filesystem::remove_all(Path, Other);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string Path;

private:
    static std::string Make(const std::string& Name, const std::string& Base)
    {
        const char* Env = std::getenv("TMPDIR");
        const std::string Root = !Base.empty() ? Base : (Env != nullptr && *Env != '\0' ? Env : "/tmp");
        std::string Dir = Root + "/varnelo-test-" + Name + "-XXXXXX";
        if (mkdtemp(Dir.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed in " + Root);
        return Dir;
    }
};

} // namespace testgen
