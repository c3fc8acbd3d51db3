// The exported interface of libvulay30; the functions arrive with the layout frame.
extern "C" __attribute__((visibility("default"))) const char* vulay30_version() { return "3.0"; }
