#include "app/driver.hpp"

int main(int argc, char** argv) { return run_conversion(argc, argv); }
