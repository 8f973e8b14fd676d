// What every program answers to --version: its name, the release and the back ends built in.
#pragma once

#include <string>

// The release, the project's version.
const char* ReleaseVersion();

// "NAME VERSION" and a line naming the back ends of the table, in the order of preference.
std::string VersionText(const char* program);

// When one of the arguments is --version, prints the version text and returns true.
bool AnswerVersionOption(int argc, char** argv, const char* program);
