// The desktop program's entry point.
#include "SpurenflechterApp.h"

int main(int argc, char *argv[])
{
    SpurenflechterApp app(argc, argv);
    return app.exec();
}
