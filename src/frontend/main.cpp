#include "frontend/main_sequence.h"

int main(int argc, char** argv) {
    return pic2pnm::RunProcess(argc, argv);
}
