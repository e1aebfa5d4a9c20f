// Every test runs in a fresh working directory with its own settings and home.
#pragma once

#include <string>

namespace sandbox {

// The test's private directory (also the current directory during the test).
const std::string& Dir();

// $XDG_CONFIG_HOME and $HOME of the test.
std::string ConfigHome();
std::string Home();

// Writes bytes to a file relative to the sandbox (or absolute), making folders.
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

} // namespace sandbox
