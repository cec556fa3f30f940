// A library named like the engine that lacks most of its entry points.
extern "C" __attribute__((visibility("default"))) int mx_Use(const char*, const char*, int, int) { return 0; }
