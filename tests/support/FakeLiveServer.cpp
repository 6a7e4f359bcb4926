// The server is all in its header; the benchmarks' build names this file.
#include "FakeLiveServer.h"
