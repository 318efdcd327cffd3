#pragma once
// Makes the windows of this folder known to the main window's commands.
void registerActivityWindows();
