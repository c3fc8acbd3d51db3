// The exported entry points of libZEQOCR30; the control arrives in its own change.
extern "C" __attribute__((visibility("default"))) const char* zeqocr30_version() { return "3.0"; }
