#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    return mossgate::RunSetupProgram(instance, commandLine);
}
