// The Linux program's entry point.
#include "app/norvane.h"

int main() { return app::RunNorvane(); }
