// DICOM files for the main window's tests and benchmarks.
#pragma once

#include "dicomgen.h"

#include <cstdint>
#include <string>

namespace appfiles {

struct TSpec {
    std::string PatientName = "Doe^Jane";
    std::string PatientID = "ID-0042";
    std::string BirthDate = "19800102";
    std::string ContentDate = "2024.03.05";
    std::string Modality = "CT";
    std::string Manufacturer = "Acme Scanners";
    std::string Institution = "General Hospital";
    std::string Accession = "ACC77";
    std::string Referring = "Smith^John";
    std::string BodyPart = "CHEST";
    std::string InstanceNumber = "7";
    std::string Comment;          // raw bytes; empty: no element
    std::string Charset;          // Specific Character Set; empty: no element
    uint16_t Rows = 64, Columns = 48;
    uint16_t Frames = 0;          // 0: no Number of Frames element
    std::string TransferSyntax = testgen::kExplicitLE;
};

// A 16-bit signed CT-like image: a bright disc on a dark field.
inline testgen::Bytes MakeCT(const TSpec& S)
{
    testgen::DataSet D(S.TransferSyntax == testgen::kImplicitLE, false);
    auto Text = [&D](uint16_t G, uint16_t E, const char* VR, const std::string& V) {
        if (!V.empty())
            D.Add(G, E, VR, V);
    };
    Text(0x0008, 0x0005, "CS", S.Charset);
    Text(0x0008, 0x0023, "DA", S.ContentDate);
    Text(0x0008, 0x0050, "SH", S.Accession);
    Text(0x0008, 0x0060, "CS", S.Modality);
    Text(0x0008, 0x0070, "LO", S.Manufacturer);
    Text(0x0008, 0x0080, "LO", S.Institution);
    Text(0x0008, 0x0090, "PN", S.Referring);
    Text(0x0010, 0x0010, "PN", S.PatientName);
    Text(0x0010, 0x0020, "LO", S.PatientID);
    Text(0x0010, 0x0030, "DA", S.BirthDate);
    Text(0x0018, 0x0015, "CS", S.BodyPart);
    Text(0x0020, 0x0013, "IS", S.InstanceNumber);
    Text(0x0020, 0x4000, "LT", S.Comment);
    D.US(0x0028, 0x0002, 1);
    D.Add(0x0028, 0x0004, "CS", "MONOCHROME2");
    if (S.Frames > 0)
        D.Add(0x0028, 0x0008, "IS", std::to_string(S.Frames));
    D.US(0x0028, 0x0010, S.Rows);
    D.US(0x0028, 0x0011, S.Columns);
    D.US(0x0028, 0x0100, 16);
    D.US(0x0028, 0x0101, 16);
    D.US(0x0028, 0x0102, 15);
    D.US(0x0028, 0x0103, 1);
    const uint32_t Frames = S.Frames > 0 ? S.Frames : 1;
    testgen::Bytes Pixels;
    Pixels.reserve(size_t(S.Rows) * S.Columns * 2 * Frames);
    for (uint32_t F = 0; F < Frames; ++F)
        for (int Y = 0; Y < S.Rows; ++Y)
            for (int X = 0; X < S.Columns; ++X) {
                const double DX = X - S.Columns / 2.0, DY = Y - S.Rows / 2.0;
                const double R = (S.Rows < S.Columns ? S.Rows : S.Columns) * 0.4;
                const int16_t V = static_cast<int16_t>(DX * DX + DY * DY < R * R ? 40 + (X * 7 + Y * 3) % 200 : -1000);
                Pixels.push_back(static_cast<uint8_t>(V & 0xFF));
                Pixels.push_back(static_cast<uint8_t>((V >> 8) & 0xFF));
            }
    D.AddRaw(0x7FE0, 0x0010, "OW", Pixels);
    return testgen::Part10(S.TransferSyntax, D);
}

} // namespace appfiles
