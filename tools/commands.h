// Sub-commands of varnelo-dicom. Each cmd_*.cpp registers its own with a
// static TCommand, so the front end needs no list of them.
#pragma once

#include <functional>
#include <map>
#include <string>

struct TCommandInfo {
    std::string Usage;
    std::function<int(int argc, char** argv)> Run; // argv[0] is the sub-command
};

std::map<std::string, TCommandInfo>& Commands();

struct TCommand {
    TCommand(const std::string& Name, const std::string& Usage, std::function<int(int, char**)> Run)
    {
        Commands()[Name] = TCommandInfo{Usage, std::move(Run)};
    }
};
