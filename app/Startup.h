#pragma once
// The program's entry sequence: splash, main window, login, data module.
class TFrm_Data;
class TFrm_Login;

int runTallix(int argc, char** argv);

// Steps 8 and 9 of start-up: the login, unless a failed connection already
// asked the program to end. True when the application should run.
bool loginAtStart(TFrm_Data& data, TFrm_Login& login);
