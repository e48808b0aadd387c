#include "shell/Application.h"

int main(int argc, char** argv) {
    return shell::runApplication(argc, argv);
}
