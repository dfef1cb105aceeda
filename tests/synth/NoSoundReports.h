#pragma once
// The "no sound" reports made while it lives, collected instead of written to
// stderr, so a test can count them and read what they say.

#include "synth/NoSoundReport.h"

#include <string>
#include <vector>

class NoSoundReports : public std::vector<std::string> {
public:
    NoSoundReports()
    {
        synth::setNoSoundSink([this](const std::string& why) { push_back(why); });
    }
    ~NoSoundReports() { synth::setNoSoundSink(nullptr); }
    NoSoundReports(const NoSoundReports&) = delete;
    NoSoundReports& operator=(const NoSoundReports&) = delete;
};
