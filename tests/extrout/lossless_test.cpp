// The lossless JPEG decoder: hand-made edge cases, round trips through a test
// encoder, and the fast decoder against a plain step-by-step one on generated
// and damaged streams.
#include "extrout.h"
#include "lossless_encoder.h"
#include "lossless_reference.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using extrout::DecodeLosslessJPEG;

namespace {

using Bytes = std::vector<uint8_t>;

// Output bytes of samples as the decoder writes them.
Bytes Expected(const std::vector<int>& Samples, int P)
{
    Bytes B;
    for (int S : Samples) {
        if (P == 8) {
            B.push_back(static_cast<uint8_t>(S));
        } else {
            const uint16_t W = static_cast<uint16_t>(S);
            B.resize(B.size() + 2);
            std::memcpy(&B[B.size() - 2], &W, 2);
        }
    }
    return B;
}

std::vector<int> Image(std::mt19937& Rng, int X, int Y, int Nf, int P, int Noise)
{
    std::vector<int> S(static_cast<size_t>(X) * Y * Nf);
    const int Top = P >= 16 ? 65535 : (1 << P) - 1;
    std::uniform_int_distribution<int> N(-Noise, Noise);
    for (int Yy = 0; Yy < Y; ++Yy)
        for (int Xx = 0; Xx < X; ++Xx)
            for (int C = 0; C < Nf; ++C) {
                const int V = (Top / 2) + (Xx * 37 + Yy * 23 + C * 91) % (Top / 3 + 1) + N(Rng);
                S[(static_cast<size_t>(Yy) * X + Xx) * Nf + C] = std::clamp(V, 0, Top);
            }
    return S;
}

struct Decoded {
    bool Ok;
    Bytes Out;
};

// Decodes with the fast decoder into a buffer with guard bytes around it and
// checks the guards.
Decoded Fast(const Bytes& Stream, size_t Capacity, uint8_t Fill = 0xA5)
{
    Bytes Buf(Capacity + 64, Fill);
    const bool Ok = DecodeLosslessJPEG(Stream.data(), Buf.data() + 32, Capacity, 0, Stream.size());
    for (size_t I = 0; I < 32; ++I) {
        EXPECT_EQ(Buf[I], Fill) << "written before the output";
        EXPECT_EQ(Buf[Buf.size() - 1 - I], Fill) << "written past the capacity";
    }
    return {Ok, Bytes(Buf.begin() + 32, Buf.end() - 32)};
}

Decoded Reference(const Bytes& Stream, size_t Capacity, uint8_t Fill = 0xA5)
{
    Bytes Buf(Capacity, Fill);
    const bool Ok = lref::DecodeLosslessJPEG(Stream.data(), Buf.data(), Capacity, 0, Stream.size());
    return {Ok, Buf};
}

lenc::StreamParams MakeSpec(int P, int Nf, int X, int Y, int Ss, std::vector<lenc::HuffSpec> Tables)
{
    lenc::StreamParams S;
    S.P = P;
    S.Nf = Nf;
    S.X = X;
    S.Y = Y;
    S.Ss = Ss;
    S.Tables = std::move(Tables);
    return S;
}

size_t OutBytes(const lenc::StreamParams& S) { return static_cast<size_t>(S.X) * S.Y * S.Nf * (S.P == 8 ? 1 : 2); }

// Index of the marker FF M in a stream.
size_t Find(const Bytes& B, uint8_t M)
{
    for (size_t I = 0; I + 1 < B.size(); ++I)
        if (B[I] == 0xFF && B[I + 1] == M)
            return I;
    return B.size();
}

// Replaces the DHT segment of an encoded stream by one holding Tables.
Bytes WithTables(Bytes S, const std::vector<std::vector<lenc::HuffSpec>>& Segments)
{
    const size_t At = Find(S, 0xC4);
    const size_t Len = S[At + 2] * 256 + S[At + 3];
    S.erase(S.begin() + static_cast<long>(At), S.begin() + static_cast<long>(At + 2 + Len));
    Bytes Ins;
    for (const auto& Tables : Segments) {
        Bytes Seg;
        for (size_t T = 0; T < Tables.size(); ++T) {
            Seg.push_back(static_cast<uint8_t>(T));
            for (int L = 1; L <= 16; ++L)
                Seg.push_back(static_cast<uint8_t>(Tables[T].Counts[L]));
            for (int V : Tables[T].Values)
                Seg.push_back(static_cast<uint8_t>(V));
        }
        Ins.insert(Ins.end(), {0xFF, 0xC4, static_cast<uint8_t>((Seg.size() + 2) >> 8),
                               static_cast<uint8_t>(Seg.size() + 2)});
        Ins.insert(Ins.end(), Seg.begin(), Seg.end());
    }
    S.insert(S.begin() + static_cast<long>(At), Ins.begin(), Ins.end());
    return S;
}

} // namespace

TEST(LosslessJPEG, RefusesShortAndForeignStreams)
{
    std::mt19937 Rng(1);
    const auto Img = Image(Rng, 8, 4, 1, 8, 3);
    const Bytes Good = lenc::Encode(Img, MakeSpec(8, 1, 8, 4, 1, {lenc::FixedTable()}));
    ASSERT_TRUE(Fast(Good, 32).Ok);

    // 31 bytes: refused whatever they hold.
    const Bytes Short(Good.begin(), Good.begin() + 31);
    auto R = Fast(Short, 32);
    EXPECT_FALSE(R.Ok);
    EXPECT_EQ(R.Out, Bytes(32, 0xA5));

    // A baseline frame header first.
    Bytes Baseline = Good;
    Baseline[Find(Baseline, 0xC3) + 1] = 0xC0;
    EXPECT_FALSE(Fast(Baseline, 32).Ok);

    // Two components.
    Bytes Two = Good;
    Two[Find(Two, 0xC3) + 9] = 2;
    EXPECT_FALSE(Fast(Two, 32).Ok);

    // No Huffman table although a frame was met.
    Bytes NoTable = Good;
    NoTable[Find(NoTable, 0xC4) + 1] = 0xFE; // an application segment now
    EXPECT_FALSE(Fast(NoTable, 32).Ok);

    // A segment length below 2 would walk backwards for ever.
    Bytes Zero = Good;
    const size_t Dht = Find(Zero, 0xC4);
    Zero[Dht + 2] = 0;
    Zero[Dht + 3] = 0;
    EXPECT_FALSE(Fast(Zero, 32).Ok);
}

TEST(LosslessJPEG, ScanWithoutFrameLeavesOutputAlone)
{
    Bytes S = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00};
    S.resize(40, 0x55);
    const auto R = Fast(S, 16);
    EXPECT_TRUE(R.Ok);
    EXPECT_EQ(R.Out, Bytes(16, 0xA5));
}

TEST(LosslessJPEG, ConstantImagesAtEveryPrecision)
{
    // All differences zero: every sample is the initial prediction.
    for (int P : {2, 8, 12, 16}) {
        SCOPED_TRACE(P);
        const int Init = 1 << (P - 1);
        const std::vector<int> Img(6 * 5, Init);
        const auto StreamParams = MakeSpec(P, 1, 6, 5, 1, {lenc::FixedTable()});
        const auto R = Fast(lenc::Encode(Img, StreamParams), OutBytes(StreamParams));
        ASSERT_TRUE(R.Ok);
        EXPECT_EQ(R.Out, Expected(Img, P));
    }
}

TEST(LosslessJPEG, CategoriesOneAndSixteen)
{
    // From 32768: -32768 (category 16, no extra bits), then +1 and -1
    // (category 1 with bit 1 and bit 0), then +5.
    const std::vector<int> Img = {0, 1, 0, 5};
    auto StreamParams = MakeSpec(16, 1, 4, 1, 1, {lenc::FixedTable()});
    const Bytes S = lenc::Encode(Img, StreamParams);
    const auto R = Fast(S, 8);
    ASSERT_TRUE(R.Ok);
    EXPECT_EQ(R.Out, Expected(Img, 16));
    EXPECT_EQ(Reference(S, 8).Out, R.Out);
}

TEST(LosslessJPEG, EveryCategoryAtEveryCodeLength)
{
    // One category at a time, its code of each length: once after codes of
    // length 6 (a code mostly of zeros) and once after a chain of shorter
    // codes (all ones but the last bit). The differences are the category's
    // smallest, middle and largest, of both signs.
    for (const bool Chain : {false, true}) {
        for (int Len = 2; Len <= 16; ++Len) {
            for (int Cat = 1; Cat <= 16; ++Cat) {
                SCOPED_TRACE(testing::Message() << "chain " << Chain << " length " << Len << " category " << Cat);
                int Lens[17];
                int Next = 1;
                for (int C = 0; C <= 16; ++C) {
                    if (C == Cat)
                        Lens[C] = Len;
                    else if (Chain)
                        Lens[C] = Next < Len ? Next++ : 16;
                    else
                        Lens[C] = 6;
                }
                lenc::HuffSpec H;
                for (int L = 1; L <= 16; ++L)
                    for (int V = 0; V <= 16; ++V)
                        if (Lens[V] == L) {
                            H.Counts[L]++;
                            H.Values.push_back(V);
                        }
                const int Lo = 1 << (Cat - 1), Hi = (1 << Cat) - 1;
                std::vector<int> Diffs = {Lo, -Lo, Hi, -Hi, (Lo + Hi) / 2, -(Lo + Hi) / 2, -Hi, Hi, -Lo, Lo};
                if (Cat == 16)
                    Diffs.assign(10, 32768);
                std::vector<int> Row;
                int Sample = 32768;
                for (int Round = 0; Round < 6; ++Round)
                    for (int D : Diffs) {
                        Sample = (Sample + D) & 0xFFFF;
                        Row.push_back(Sample);
                    }
                // Equal rows: the lines after the first start with a zero
                // difference, and the early lines are far enough from the end
                // of the data for the unchecked loop.
                std::vector<int> Img;
                for (int Y = 0; Y < 4; ++Y)
                    Img.insert(Img.end(), Row.begin(), Row.end());
                const auto Params = MakeSpec(16, 1, static_cast<int>(Row.size()), 4, 1, {H});
                const auto R = Fast(lenc::Encode(Img, Params), OutBytes(Params));
                ASSERT_TRUE(R.Ok);
                EXPECT_EQ(R.Out, Expected(Img, 16));
            }
        }
    }
}

TEST(LosslessJPEG, AllPredictorsRoundTrip)
{
    std::mt19937 Rng(7);
    struct Case {
        int P, Nf;
    };
    for (const Case C : {Case{8, 1}, Case{8, 3}, Case{12, 1}, Case{16, 1}, Case{16, 3}, Case{5, 1}}) {
        for (int Ss = 1; Ss <= 7; ++Ss) {
            SCOPED_TRACE(testing::Message() << "P " << C.P << " Nf " << C.Nf << " Ss " << Ss);
            const int X = 23, Y = 9;
            const auto Img = Image(Rng, X, Y, C.Nf, C.P, 40);
            std::vector<lenc::HuffSpec> Tables;
            for (int T = 0; T < (C.Nf == 3 ? 3 : 1); ++T)
                Tables.push_back(lenc::RandomTable(Rng));
            const auto StreamParams = MakeSpec(C.P, C.Nf, X, Y, Ss, Tables);
            const auto R = Fast(lenc::Encode(Img, StreamParams), OutBytes(StreamParams));
            ASSERT_TRUE(R.Ok);
            EXPECT_EQ(R.Out, Expected(Img, C.P));
        }
    }
}

TEST(LosslessJPEG, TablesGoByTheirOrderInTheLastSegment)
{
    std::mt19937 Rng(11);
    const auto Img = Image(Rng, 10, 6, 3, 8, 20);
    const auto A = lenc::RandomTable(Rng), B = lenc::RandomTable(Rng), C = lenc::RandomTable(Rng);
    const auto StreamParams = MakeSpec(8, 3, 10, 6, 4, {A, B, C});
    const Bytes Three = lenc::Encode(Img, StreamParams);
    const Bytes Want = Expected(Img, 8);
    EXPECT_EQ(Fast(Three, Want.size()).Out, Want);

    // Coded with A throughout: two tables (A, B) make B unused and A copied;
    // two segments of one table each leave the second.
    const Bytes AllA = lenc::Encode(Img, MakeSpec(8, 3, 10, 6, 4, {A, A, A}));
    EXPECT_EQ(Fast(WithTables(AllA, {{A, B}}), Want.size()).Out, Want);
    EXPECT_EQ(Fast(WithTables(AllA, {{A}}), Want.size()).Out, Want);
    EXPECT_EQ(Fast(WithTables(AllA, {{B, C}, {A}}), Want.size()).Out, Want);
    EXPECT_NE(Fast(WithTables(AllA, {{A}, {B, C}}), Want.size()).Out, Want);

    // The state holds four tables: a fifth in the segment is read past.
    EXPECT_EQ(Fast(WithTables(Three, {{A, B, C, A, B}}), Want.size()).Out, Want);
    EXPECT_TRUE(Fast(WithTables(Three, {{A, B, C, A, B, C}}), Want.size()).Ok);
}

TEST(LosslessJPEG, RestartIntervals)
{
    std::mt19937 Rng(5);
    struct Case {
        int P, Nf, X, RI;
    };
    // Whole lines, several lines, and intervals that end inside a line.
    for (const Case C : {Case{8, 1, 16, 16}, Case{8, 1, 16, 48}, Case{8, 1, 16, 7}, Case{8, 3, 12, 12},
                         Case{8, 3, 12, 5}, Case{12, 1, 20, 20}, Case{16, 1, 20, 13}, Case{16, 3, 8, 8}}) {
        for (int Ss : {1, 4, 7}) {
            SCOPED_TRACE(testing::Message() << "P " << C.P << " Nf " << C.Nf << " RI " << C.RI << " Ss " << Ss);
            const int Y = 11;
            const auto Img = Image(Rng, C.X, Y, C.Nf, C.P, 30);
            std::vector<lenc::HuffSpec> Tables(C.Nf == 3 ? 3 : 1, lenc::RandomTable(Rng));
            auto StreamParams = MakeSpec(C.P, C.Nf, C.X, Y, Ss, Tables);
            StreamParams.RI = C.RI;
            const Bytes S = lenc::Encode(Img, StreamParams);
            ASSERT_LT(Find(S, 0xD1), S.size()) << "no restart markers made";
            const auto R = Fast(S, OutBytes(StreamParams));
            ASSERT_TRUE(R.Ok);
            EXPECT_EQ(R.Out, Expected(Img, C.P));
            // A missing marker is a broken stream.
            Bytes Broken = S;
            const size_t Rst = Find(S, 0xD0);
            ASSERT_LT(Rst + 2, S.size());
            Broken.erase(Broken.begin() + static_cast<long>(Rst), Broken.begin() + static_cast<long>(Rst + 2));
            const auto F = Fast(Broken, OutBytes(StreamParams)), Ref = Reference(Broken, OutBytes(StreamParams));
            EXPECT_EQ(F.Ok, Ref.Ok);
            EXPECT_EQ(F.Out, Ref.Out);
        }
    }
}

TEST(LosslessJPEG, EndsOfTheStream)
{
    std::mt19937 Rng(3);
    for (int P : {8, 16}) {
        const auto Img = Image(Rng, 30, 7, 1, P, 200);
        auto StreamParams = MakeSpec(P, 1, 30, 7, 6, {lenc::RandomTable(Rng)});
        StreamParams.EOI = false;
        const Bytes S = lenc::Encode(Img, StreamParams);
        // Without an end-of-image marker the data runs to the stream's end.
        const auto R = Fast(S, OutBytes(StreamParams));
        ASSERT_TRUE(R.Ok);
        EXPECT_EQ(R.Out, Expected(Img, P));
        // Cut inside the data: refused, and wide output is left cleared after
        // the last sample decoded.
        for (size_t Cut = 40; Cut < S.size(); Cut += 7) {
            const Bytes Part(S.begin(), S.begin() + static_cast<long>(Cut));
            const auto F = Fast(Part, OutBytes(StreamParams));
            const auto Ref = Reference(Part, OutBytes(StreamParams));
            EXPECT_FALSE(F.Ok);
            EXPECT_EQ(F.Out, Ref.Out) << "cut at " << Cut;
        }
    }
}

TEST(LosslessJPEG, NeverWritesPastTheCapacity)
{
    std::mt19937 Rng(9);
    const auto Img = Image(Rng, 16, 16, 1, 12, 10);
    const auto StreamParams = MakeSpec(12, 1, 16, 16, 1, {lenc::FixedTable()});
    const Bytes S = lenc::Encode(Img, StreamParams);
    EXPECT_TRUE(Fast(S, 512).Ok);
    // A buffer sized for 8-bit samples, and one a sample short.
    EXPECT_FALSE(Fast(S, 256).Ok);
    EXPECT_FALSE(Fast(S, 511).Ok);
    EXPECT_EQ(Fast(S, 511).Out, Bytes(511, 0xA5));
}

// Generated streams with random tables (long codes included), precisions,
// predictors and restart intervals, then damaged at random: the fast decoder
// gives the same result and the same output bytes as the plain one.
TEST(LosslessJPEG, MatchesPlainDecoderOnGeneratedAndDamagedStreams)
{
    std::mt19937 Rng(20261208);
    int Decoded = 0;
    for (int Round = 0; Round < 600; ++Round) {
        const int P = std::uniform_int_distribution<int>(0, 3)(Rng) == 0 ? 8
                                                                          : std::uniform_int_distribution<int>(2, 16)(Rng);
        const int Nf = std::uniform_int_distribution<int>(0, 2)(Rng) == 0 ? 3 : 1;
        const int X = std::uniform_int_distribution<int>(1, 40)(Rng);
        const int Y = std::uniform_int_distribution<int>(1, 12)(Rng);
        const int Ss = std::uniform_int_distribution<int>(0, 7)(Rng);
        const int Pt = std::uniform_int_distribution<int>(0, 2)(Rng) == 0 ? std::uniform_int_distribution<int>(0, P - 1)(Rng) : 0;
        const int MinLen = std::uniform_int_distribution<int>(0, 1)(Rng) ? 2 : 9;
        std::vector<lenc::HuffSpec> Tables;
        for (int T = 0; T < (Nf == 3 ? 3 : 1); ++T)
            Tables.push_back(lenc::RandomTable(Rng, MinLen));
        auto StreamParams = MakeSpec(P, Nf, X, Y, Ss, Tables);
        StreamParams.Pt = Pt;
        if (std::uniform_int_distribution<int>(0, 2)(Rng) == 0)
            StreamParams.RI = std::uniform_int_distribution<int>(1, 30)(Rng);
        const auto Img = Image(Rng, X, Y, Nf, P, std::uniform_int_distribution<int>(0, 3000)(Rng));
        Bytes S = lenc::Encode(Img, StreamParams);
        if (S.size() < 32)
            S.resize(32, 0); // below 32 bytes nothing is looked at
        const size_t Cap = OutBytes(StreamParams);
        SCOPED_TRACE(testing::Message() << "round " << Round << " P " << P << " Nf " << Nf << " Ss " << Ss
                                        << " RI " << StreamParams.RI);
        {
            const auto F = Fast(S, Cap), R = Reference(S, Cap);
            ASSERT_EQ(F.Ok, R.Ok);
            ASSERT_EQ(F.Out, R.Out);
            EXPECT_TRUE(F.Ok);
            EXPECT_EQ(F.Out, Expected(Img, P));
            Decoded += F.Ok;
        }
        for (int M = 0; M < 6; ++M) {
            Bytes D = S;
            const int Kind = std::uniform_int_distribution<int>(0, 3)(Rng);
            const size_t At = std::uniform_int_distribution<size_t>(0, D.size() - 1)(Rng);
            if (Kind == 0) {
                D[At] = static_cast<uint8_t>(Rng());
            } else if (Kind == 1) {
                D.resize(std::max<size_t>(At, 32));
            } else if (Kind == 2) {
                // Damage the tables: counts and values.
                const size_t Dht = Find(D, 0xC4);
                if (Dht + 25 < D.size())
                    D[Dht + 5 + std::uniform_int_distribution<size_t>(0, 20)(Rng)] ^= static_cast<uint8_t>(1 + Rng() % 255);
            } else {
                D[At] ^= static_cast<uint8_t>(1 << (Rng() % 8));
            }
            const auto F = Fast(D, Cap), R = Reference(D, Cap);
            ASSERT_EQ(F.Ok, R.Ok) << "damage " << Kind << " at " << At;
            ASSERT_EQ(F.Out, R.Out) << "damage " << Kind << " at " << At;
        }
    }
    EXPECT_GT(Decoded, 500);
}
