#include "driver/run.h"

int main(int argc, char** argv) { return vk::run(argc, argv); }
