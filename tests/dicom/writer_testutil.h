// Helpers shared by the comment writer's tests.
#pragma once

#include "dicom.h"
#include "dicomgen.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <vector>

namespace writertest {

inline const char* kDate = "01/02/26 10:11:12";

struct TResult {
    bool Ok = false;
    std::vector<std::string> Messages;
    std::string Text() const
    {
        std::string T;
        for (const auto& M : Messages)
            T += M + "\n";
        return T;
    }
};

inline TResult Write(const std::string& Source, const std::string& Target, const std::string& Comment)
{
    TResult R;
    dicom::TCommentWriterHooks Hooks;
    Hooks.ReportError = [&R](const std::string& M) { R.Messages.push_back(M); };
    Hooks.DateTimeText = [] { return std::string(kDate); };
    R.Ok = dicom::WriteDICOMComment(Source, Target, Comment, Hooks);
    return R;
}

// A scratch folder, removed with everything in it at the end; in Base
// instead of the usual temporary folder when one is given.
struct TTempFolder : testgen::TempDir {
    explicit TTempFolder(const std::string& Name, const std::string& Base = std::string())
        : TempDir("writer-" + Name, Base)
    {
    }

    // Names in the folder (not below), sorted.
    std::vector<std::string> Names(const std::string& Sub = "") const
    {
        std::vector<std::string> N;
        for (const auto& E : std::filesystem::directory_iterator(Path + Sub))
            N.push_back(E.path().filename().string());
        std::sort(N.begin(), N.end());
        return N;
    }
    // Everything below the folder: files with their bytes, links with what
    // they name, other entries by name alone.
    std::map<std::string, testgen::Bytes> Snapshot() const
    {
        std::map<std::string, testgen::Bytes> S;
        for (const auto& E : std::filesystem::recursive_directory_iterator(Path)) {
            const std::string P = E.path().string();
            if (E.is_symlink()) {
                const std::string To = std::filesystem::read_symlink(E.path()).string();
                S[P] = testgen::Bytes(To.begin(), To.end());
            } else if (E.is_regular_file()) {
                S[P] = testgen::ReadFile(P);
            } else {
                S[P] = testgen::Bytes{};
            }
        }
        return S;
    }
};

// Takes the named temporary file path for as long as it lives.
struct TNamedTemp {
    bool Saved;
    explicit TNamedTemp(bool On) : Saved(dicom::writer_detail::ForceNamedTemp)
    {
        dicom::writer_detail::ForceNamedTemp = On;
    }
    ~TNamedTemp() { dicom::writer_detail::ForceNamedTemp = Saved; }
};

} // namespace writertest
