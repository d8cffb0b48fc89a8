#include "app/tallydesk_app.h"

int main(int argc, char** argv) {
    CMytallydeskApp app;
    return app.Run(argc, argv);
}
