#pragma once

namespace shell {

// Starts the program: the application object, the platform services, Form1 loaded and shown;
// returns the exit code when Form1 has unloaded.
int runApplication(int argc, char** argv);

} // namespace shell
