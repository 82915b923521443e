// Varnelo: adds voice recorded comments to medical images.
#include "Unit1.h"
#include "application.h"

#include "orvolib.h"

int main(int argc, char** argv)
{
    TVarneloApplication Application(argc, argv);
    // The application object resets the C locale from the environment.
    InitStartupSettings();
    Unit1Initialization();
    // A file opened from the desktop comes as the one argument.
    TOrvoScrivelUIform OrvoScrivelUIform(StartPathArgument(Application.arguments()));
    OrvoScrivelUIform.show();
    return Application.exec();
}
