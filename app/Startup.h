#pragma once
// The program's entry sequence: splash, main window, login, data module.
int runTallix(int argc, char** argv);
